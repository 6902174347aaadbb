// The constant type table and the lookup of a name in it.
#include <gtest/gtest.h>

#include <string>

#include "xaml/xaml_type_table.h"

namespace {

using XamlTypeInfo::InfoProvider::LookUpTypeEntry;
using XamlTypeInfo::InfoProvider::LookUpTypeEntryWith;
using XamlTypeInfo::InfoProvider::TypeTable;

TEST(XamlTypeLookup, FindsExactlyTheThreeNames) {
  EXPECT_EQ(LookUpTypeEntry(u"Corvane.MainPage"), &TypeTable[0]);
  EXPECT_EQ(LookUpTypeEntry(u"Windows.UI.Xaml.Controls.Page"), &TypeTable[1]);
  EXPECT_EQ(LookUpTypeEntry(u"Windows.UI.Xaml.Controls.UserControl"), &TypeTable[2]);

  const std::u16string_view misses[] = {u"corvane.mainpage",
                                        u"Corvane.Mainpage",
                                        u"CORVANE.MAINPAGE",
                                        u"Corvane.MainPage ",
                                        u" Corvane.MainPage",
                                        u"Corvane.MainPag",
                                        u"Corvane.MainPagf",
                                        u"Windows.UI.Xaml.Controls.page",
                                        u"Windows.UI.Xaml.Controls.UserControL",
                                        u"MainPage",
                                        std::u16string_view(u"Corvane.MainPage\0", 17)};
  for (auto miss : misses) {
    EXPECT_EQ(LookUpTypeEntry(miss), nullptr) << std::string(miss.begin(), miss.end());
  }
  EXPECT_EQ(LookUpTypeEntry(std::u16string_view()), nullptr);  // null name
  EXPECT_EQ(LookUpTypeEntry(u""), nullptr);
}

TEST(XamlTypeLookup, ComparesOnlyRowsOfTheNamesLength) {
  auto comparisons = [](std::u16string_view name) {
    int count = 0;
    LookUpTypeEntryWith(name, [&](std::u16string_view a, std::u16string_view b) {
      ++count;
      return a == b;
    });
    return count;
  };
  // Overlong names are turned away before any row is looked at, including
  // one that starts with a real name.
  EXPECT_EQ(comparisons(std::u16string(37, u'x')), 0);
  EXPECT_EQ(comparisons(u"Windows.UI.Xaml.Controls.UserControlX"), 0);
  EXPECT_EQ(comparisons(std::u16string(4096, u'W')), 0);
  // Each length reaches only its own rows.
  EXPECT_EQ(comparisons(u"Corvane.MainPagX"), 1);                      // 16
  EXPECT_EQ(comparisons(u"Corvane.MainPageX"), 0);                     // 17: no row
  EXPECT_EQ(comparisons(u"Windows.UI.Xaml.Controls.Pagf"), 1);         // 29
  EXPECT_EQ(comparisons(u"Windows.UI.Xaml.Controls.UserControX"), 1);  // 36
  EXPECT_EQ(comparisons(u""), 0);
}

}  // namespace
