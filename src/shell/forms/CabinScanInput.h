#pragma once
// A hand scanner in a cabin-number field. The scanner types a label's code
// ("VL:123", or "VLÉ12ö" when set to the US layout on the Hungarian one) and
// Enter; vl::util::ReadCabinScan reads it. Installed on a field, a scan acts
// as typing 123 and Enter there: the field's own checks, signals and keys
// (FormConventions' Enter) see exactly that. Any other text after "VL" is
// refused with its message through the sink and the field keeps what it held.
// Hand typing is untouched: the field only holds back what follows a "V"
// (a letter no cabin number has) until Enter, Esc or leaving the field.
class QComboBox;
class QLineEdit;
class QString;

namespace vl::shell {

// A cabin number typed into an edit. A number longer than the edit takes
// is refused ("A beolvasott kabinszám (N) nem fér el ebben a mezőben.").
void InstallCabinScan(QLineEdit* edit);
// A list of cabins (a combo box whose entries begin with the cabin number and
// a blank, "123 Alap kabin"): the scan chooses the entry of cabin 123 as
// choosing it by hand does (activated, then Enter); a cabin not among the
// entries is refused (CabinNotListedText).
void InstallCabinScan(QComboBox* box);

QString CabinNotListedText(const QString& number);

} // namespace vl::shell
