#include "FormRegistry.h"
#include "util/MessageSink.h"

#include <QStringList>

namespace vl::shell {

FormRegistry& FormRegistry::instance()
{
    static FormRegistry r;
    return r;
}

void FormRegistry::registerForm(const QString& name, FormHandler handler)
{
    handlers_.insert(name, std::move(handler));
}

void FormRegistry::unregisterForm(const QString& name)
{
    handlers_.remove(name);
}

bool FormRegistry::has(const QString& name) const
{
    return handlers_.contains(name);
}

QStringList FormRegistry::names() const
{
    QStringList l = handlers_.keys();
    l.sort();
    return l;
}

FormResult FormRegistry::open(const QString& name, const QVariantMap& params, QWidget* parent) const
{
    const auto it = handlers_.constFind(name);
    if (it == handlers_.constEnd() || !*it) {
        vl::notify(vl::MsgKind::Info, QStringLiteral("A(z) \"") + name + QStringLiteral("\" menüpont még nincs kész."));
        return {};
    }
    return (*it)(parent, params);
}

} // namespace vl::shell
