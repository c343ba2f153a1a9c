#include <QtTest>
class TestDictList : public QObject { Q_OBJECT };
QTEST_MAIN(TestDictList)
#include "tst_dictlist.moc"
