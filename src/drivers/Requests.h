#pragma once
// The bodies the phone sends, read strictly: the fields of a fixed list, each
// of its type, nothing else. A body that is not such is refused whole with a
// Hungarian text, so nothing of it is applied.
#include "operations/PhoneMarks.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace vl::drivers {

constexpr int kMaxMarksPerRequest = 200;

struct LoginRequest {
    QString driver;
    QString pin;
};

// Each returns "" when the body was read, else why it was refused.
QString ReadLoginRequest(const QByteArray& body, LoginRequest* out);
// The marks of one request, for the logged-in driver.
QString ReadMarksRequest(const QByteArray& body, const QString& driver, QList<vl::operations::PhoneMark>* out);

} // namespace vl::drivers
