#pragma once
// Forms open each other by name, never by including each other.
//
// A subsystem's forms library offers its forms through a handler that app/
// registers at start-up (as the tree nodes are registered with the main
// window); any form may then open any registered form by its name and
// parameters and read the answer:
//
//   // app/: registry.registerForm("Tugyfelfm", customers::openCustomerRegister);
//   // contract entry:
//   const auto r = vl::shell::openForm(QStringLiteral("Tugyfelfm"),
//                                      {{"SelectAllowed", true}, {"StartCustomerKey", key}}, this);
//   if (r.accepted) key = r.values.value("Selected").toString();
//
// Names are the form's class name (or the routine's, as "ShowDocPrint");
// parameters and answers carry the form's entry and return values. A name
// nobody registered answers with the tree's notice that the function is not
// ready and returns not accepted.
#include <QString>
#include <QVariantMap>
#include <QHash>
#include <functional>

class QWidget;

namespace vl::shell {

struct FormResult {
    bool accepted = false;   // the user chose / stored / confirmed
    QVariantMap values;      // the form's return values
};

using FormHandler = std::function<FormResult(QWidget* parent, const QVariantMap& params)>;

class FormRegistry {
public:
    static FormRegistry& instance();

    // A later registration of a name replaces the earlier one.
    void registerForm(const QString& name, FormHandler handler);
    void unregisterForm(const QString& name);
    bool has(const QString& name) const;
    QStringList names() const;

    FormResult open(const QString& name, const QVariantMap& params = {}, QWidget* parent = nullptr) const;

private:
    QHash<QString, FormHandler> handlers_;
};

inline FormResult openForm(const QString& name, const QVariantMap& params = {}, QWidget* parent = nullptr)
{
    return FormRegistry::instance().open(name, params, parent);
}

} // namespace vl::shell
