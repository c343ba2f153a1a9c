#pragma once
// The one answer of a rule to its caller: done, refused with messages, or a
// question the caller must ask before the rule can go on. Rules never ask the
// user themselves: a rule that needs a decision returns the question with its
// buttons and default and a continuation; the caller (a form, a command, the
// drivers' service) asks in its own way and calls `proceed` with the answer.
//
// `ok` is the one spelling of success. Nothing has been written while a
// question is open.
//
//   vl::Outcome o = rules.deleteThing(...);
//   while (o.asks()) o = o.proceed(vl::askQuestion(o));   // a form
//   o = o.answerAll(true);                                 // a command with --yes
//
// A rules area that has more to say (which lists changed, where to stand
// afterwards) adds its fields through `Extra`: `OutcomeOf<Landing>`.
#include "util/MessageSink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

namespace vl {

struct NoExtra {};

template <class Extra = NoExtra>
struct OutcomeOf : Extra {
    bool ok = false;              // the rule did what it was asked
    QStringList messages;         // texts to show in order, each as one message (exact wording)
    bool warning = true;          // messages are warnings or refusals (false: information)
    // An open question ("Igen"/"Nem" unless buttons say otherwise). When set,
    // nothing has been written yet: ask it and call proceed(answer).
    QString question;
    bool questionDefaultNo = false;   // Enter answers "Nem" (a destructive question)
    std::function<OutcomeOf(bool yes)> proceed;
    QString focus;                // objectName of the control at fault, "" none

    bool asks() const { return !question.isEmpty(); }
    bool refused() const { return !ok && !asks(); }

    // Answers every question with `yes` until the rule ends (tests, commands).
    OutcomeOf answerAll(bool yes) const {
        OutcomeOf o = *this;
        while (o.asks() && o.proceed) o = o.proceed(yes);
        return o;
    }
    // Answers the questions in order from the list (missing answers: "Nem").
    OutcomeOf answer(const QList<bool>& answers) const {
        OutcomeOf o = *this;
        int i = 0;
        while (o.asks() && o.proceed) o = o.proceed(i < answers.size() ? answers.at(i++) : false);
        return o;
    }

    static OutcomeOf done(QStringList info = {}) {
        OutcomeOf o;
        o.ok = true;
        o.messages = std::move(info);
        o.warning = false;
        return o;
    }
    static OutcomeOf refusal(QStringList why, QString focusedControl = {}) {
        OutcomeOf o;
        o.messages = std::move(why);
        o.focus = std::move(focusedControl);
        return o;
    }
    static OutcomeOf refusal(const QString& why, QString focusedControl = {}) {
        return refusal(why.isEmpty() ? QStringList() : QStringList{why}, std::move(focusedControl));
    }
    // A question; `then(yes)` is the rule's continuation.
    static OutcomeOf asking(QString text, std::function<OutcomeOf(bool)> then, bool defaultNo = false) {
        OutcomeOf o;
        o.question = std::move(text);
        o.questionDefaultNo = defaultNo;
        o.proceed = std::move(then);
        return o;
    }
};

using Outcome = OutcomeOf<>;

// The questions of an outcome asked through the message sink (a form's
// dialog, a command's --yes), in order, until the rule ends.
template <class Extra>
OutcomeOf<Extra> askedThroughSink(OutcomeOf<Extra> o) {
    while (o.asks() && o.proceed) {
        const int a = o.questionDefaultNo ? askDefaultNo(o.question) : ask(o.question);
        const auto proceed = o.proceed;
        o = proceed(a == 0);
    }
    return o;
}

} // namespace vl
