#include "app/SupPropertyView.h"

#include <QtTest>

class TSupPropertyView : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TSupPropertyView)
#include "test_SupPropertyView.moc"
