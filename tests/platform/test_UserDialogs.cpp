#include "platform/UserDialogs.h"

#include <gtest/gtest.h>

namespace {

TEST(FileFilter, EntriesAndTheirExtensions)
{
    const auto entries = ParseFileFilter(QStringLiteral(
        "Sup file(*.sup)|*.sup|Pes file(*.pes)|*.pes|Image file (*.bmp;*.jpg)|*.bmp; *.jpg|"
        "All files(*.*)|*.*||"));
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0], (SFileFilterEntry{"Sup file(*.sup)", {"*.sup"}}));
    EXPECT_EQ(entries[2], (SFileFilterEntry{"Image file (*.bmp;*.jpg)", {"*.bmp", "*.jpg"}}));
    const char* const extensions[] = {".sup", ".pes", ".bmp", ""};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(FilterExtension(entries[i]), QString(extensions[i])) << i;
}

TEST(FileFilter, MalformedFiltersGiveWhatIsWhole)
{
    EXPECT_TRUE(ParseFileFilter(QString()).isEmpty());
    EXPECT_TRUE(ParseFileFilter(QStringLiteral("Lonely label")).isEmpty());
    EXPECT_EQ(ParseFileFilter(QStringLiteral("A|*.a|B")).size(), 1);
    EXPECT_EQ(FilterExtension(SFileFilterEntry{"none", {}}), QString());
    EXPECT_EQ(FilterExtension(SFileFilterEntry{"any", {"*"}}), QString());
}

TEST(UserDialogs, WithoutTheWindowEveryQuestionIsCancelled)
{
    int index = 1;
    EXPECT_TRUE(UserDialogs().GetOpenFileName("A|*.a||", "x.a").isEmpty());
    EXPECT_TRUE(UserDialogs().GetSaveFileName("A|*.a||", "x.a", index).isEmpty());
    QRgb colour = 0;
    EXPECT_FALSE(UserDialogs().PickColour(colour));
}

}  // namespace
