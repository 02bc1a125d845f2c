#include <QTest>
class TestToolkit : public QObject { Q_OBJECT };
QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
