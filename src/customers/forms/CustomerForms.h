#pragma once
// The customer register in the program: tree node 12 "Partnerek" (the plain
// register, modeless) and the form "Tugyfelfm" that other forms open by name.
//
// "Tugyfelfm" params: SelectAllowed (bool), ShowButtons (bool, default true),
// StartCustomerKey, StartSiteKey (text), Modal (bool, default SelectAllowed).
// Result: accepted = Selected; values Selected, Customer (the current UGYFEL
// row by column name), Site (the current UGYFELCIM row; empty when none).
#include "FormRegistry.h"

namespace vl::shell { class Tmain_pkrfm; }

namespace vl::customers {

class Tugyfelfm;
// The one register form of the program (created on first use, kept for the run).
Tugyfelfm& CustomerRegisterForm();

vl::shell::FormResult openCustomerRegister(QWidget* parent, const QVariantMap& params);

void registerCustomerNodes(vl::shell::Tmain_pkrfm& w);
void registerCustomerForms();

} // namespace vl::customers
