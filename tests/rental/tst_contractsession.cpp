// placeholder
#include <QtTest>
class TstContractSession : public QObject { Q_OBJECT private slots: void none() {} };
QTEST_GUILESS_MAIN(TstContractSession)
#include "tst_contractsession.moc"
