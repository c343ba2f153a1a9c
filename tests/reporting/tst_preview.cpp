#include <QtTest>
class TestPreview : public QObject { Q_OBJECT };
QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
