#pragma once
// Marks sent from a driver's phone: the activity log's own actions on one
// activity or billing row, under the service's user, with the driver and the
// phone recorded as the row's source.
//
// A mark applies only to an activity assigned to that driver (SOFORKOD), on an
// active, not cancelled contract, in the state the phone saw, and only until
// noon (a setting) of the day after the activity's day. "done" and "undone"
// are the day sheet's done action (take-backs through the one take-back
// routine, cash contracts re-priced, the contract stamped); "notdone" leaves
// the activity planned and writes the reason and remark into its remark;
// "cash" records a planned billing period as paid at exactly its gross, as
// the orders workspace's payments do. Each mark is one transaction that also
// writes its line in the marks log (TELEFONJEL); a mark whose request id the
// log already holds for that driver changes nothing and repeats the first
// answer. A refused mark writes only its line in the log (its own small
// transaction), so a repeat gets the same refusal; a write conflict with
// another workstation is refused with the contract-changed text and not
// logged, so the same mark may land when it is sent again.
#include "db/Database.h"
#include "rental/ActivityImages.h"
#include "shell/Session.h"

#include <QList>
#include <QString>

namespace vl::operations {

enum class PhoneAction { Done, NotDone, Undone, Cash };

// The key the driver's day gives each row: "T.<contract>.<version>.<line>.<item>.<yyyy.mm.dd>.<seq>"
// for an activity, "F.<contract>.<version>.<yyyy.mm.dd>.<seq>" for a billing row.
struct PhoneKey {
    bool payment = false;
    qint64 bizonylat = 0;
    qint64 verzio = 1;
    qint64 tetelsor = 0;
    qint64 sorszam = 0;
    QString datum;        // 'yyyy.mm.dd'
    qint64 tevsorszam = 0;
    QString text() const;
    // nullopt-like: valid false when the text is not such a key.
    static PhoneKey parse(const QString& text, bool* valid);
};

struct PhoneMark {
    QString requestId;     // chosen by the phone: 1-64 of A-Z a-z 0-9 _ -
    QString driverCode;    // the logged-in driver
    PhoneKey key;
    PhoneAction action = PhoneAction::Done;
    QString reason;        // a SZ_OKOK code (NotDone; required there)
    QString remark;        // free text, the log's remark rules (at most 250)
    qint64 amount = 0;     // Cash: the gross the driver confirms
    QString seenState;     // the TEVALLAPOT the phone showed
};

struct PhoneMarkRules {
    double vatFactor = 1.27;   // the company's, for the gross of a billing row
    int markUntilHour = 12;    // a mark is accepted until this hour of the day after the activity's day
    QString now;               // 'yyyy.MM.dd hh:mm:ss'; empty: the clock
};

struct PhoneMarkResult {
    QString requestId;
    enum class Kind { Ok, Repeated, Refused } kind = Kind::Refused;
    QString text;         // why it was refused (Hungarian), "" when ok
    QString state;        // the row's TEVALLAPOT afterwards (now, for a refusal)
    QString stateName;
    QString stateClass;   // the state's class (I, i, N, ...)
    bool firstRefused = false;   // Repeated: the first answer was a refusal
};

// Applies one mark. `service` is the service's session (its user is the
// JUZER written). Never throws for a refusal; a lost connection throws DbError.
PhoneMarkResult ApplyPhoneMark(vl::db::Connection& conn, const vl::shell::Session& service, const PhoneMark& mark,
                               const PhoneMarkRules& rules);

// A picture sent from a phone for one of the driver's activities: a photo,
// or (for a delivery or a take-back) the receiver's signature with his name.
// Judged as a mark is (the driver's own activity on an active contract, until
// noon of the next day) and stored once per driver and request id
// (vl::rental::StoreActivityImage) in a transaction of its own; the bytes are
// checked by the caller first (vl::rental::CheckImageBytes).
struct PhoneImage {
    QString requestId;     // 1-64 of A-Z a-z 0-9 _ -
    QString driverCode;
    PhoneKey key;          // an activity's key
    bool signature = false;
    QString receiver;      // the receiver's name (a signature)
    QString mime;          // as CheckImageBytes found it
    QByteArray bytes;
    int width = 0, height = 0;
};

struct PhoneImageResult {
    enum class Kind { Stored, Repeated, Refused } kind = Kind::Refused;
    qint64 id = 0;
    int count = 0;         // the activity's pictures afterwards
    QString text;          // why refused
};

PhoneImageResult ApplyPhoneImage(vl::db::Connection& conn, const vl::shell::Session& service, const PhoneImage& image,
                                 const PhoneMarkRules& rules, const vl::rental::ActivityImageLimits& limits);

// The reasons a driver may give for "notdone": KOD, NEV of SZ_OKOK, by NEV.
vl::db::RowSet PhoneReasons(vl::db::Transaction& tx);

// The marker of a row marked from a phone on the day sheet and in its remark.
QString FromPhoneText();   // "Telefonról jelölve"

// The refusal of a mark whose row the office changed after the phone saw it
// (the activity log's own text of a row changed meanwhile).
QString PhoneChangedText();
// "done", "notdone", "undone", "cash": as the marks log writes the action.
QString PhoneActionName(PhoneAction a);
// Whether a request id is 1-64 of A-Z a-z 0-9 _ -.
bool ValidRequestId(const QString& id);
// The generic editor's panel of SZ_OKOK ("Elmaradás okai") where an upgraded
// database lacks it (a new database gets it with its seeds); the program's
// start runs it. Returns the control rows written.
int PreparePhoneMarks(vl::db::Connection& conn);

} // namespace vl::operations
