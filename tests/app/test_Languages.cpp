#include "app/Languages.h"

#include <QtTest>

class TLanguages : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TLanguages)
#include "test_Languages.moc"
