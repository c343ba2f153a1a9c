// placeholder
#include <QtTest>
class TstTakeBack : public QObject { Q_OBJECT private slots: void none() {} };
QTEST_GUILESS_MAIN(TstTakeBack)
#include "tst_takeback.moc"
