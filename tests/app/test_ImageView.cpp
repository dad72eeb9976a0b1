#include "app/ImageView.h"

#include <QtTest>

class TImageView : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TImageView)
#include "test_ImageView.moc"
