#include "app/ProgressWnd.h"

#include <QtTest>

class TProgressWnd : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TProgressWnd)
#include "test_ProgressWnd.moc"
