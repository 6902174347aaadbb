// The IXamlMetadataProvider answers of the activatable provider class and of
// the owner helper the application object uses.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/xaml_type_test_support.h"
#include "xaml/xaml_meta_data_provider.h"
#include "xaml/xaml_metadata_owner.h"

namespace {

using namespace corvane_test;
using Corvane::XamlMetadataOwner;
using Corvane::Corvane_XamlTypeInfo::XamlMetaDataProvider;
using Windows::UI::Xaml::Interop::TypeKind;

TEST(XamlMetaDataProvider, AnswersThroughItsOwnProviderCreatedOnFirstUse) {
  EnsureModule();
  auto metadata = Platform::ref_new<XamlMetaDataProvider>();
  EXPECT_EQ(metadata->GetRuntimeClassName(), u"Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider");
  EXPECT_EQ(metadata->Provider(), nullptr);
  EXPECT_TRUE(metadata->GetXmlnsDefinitions().empty());
  EXPECT_EQ(metadata->Provider(), nullptr);  // the namespace list needs no provider

  auto byName = metadata->GetXamlType(Platform::String(u"Corvane.MainPage"));
  ASSERT_NE(byName, nullptr);
  auto provider = metadata->Provider();
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->GetRuntimeClassName(), u"XamlTypeInfo.InfoProvider.XamlTypeInfoProvider");
  for (auto kind : {TypeKind::Primitive, TypeKind::Metadata, TypeKind::Custom}) {
    EXPECT_EQ(metadata->GetXamlType(TypeName{u"Corvane.MainPage", kind}), byName);
  }
  EXPECT_EQ(metadata->Provider(), provider);  // kept and reused
  EXPECT_EQ(metadata->GetXamlType(Platform::String(u"Corvane.MainPage ")), nullptr);
  EXPECT_EQ(metadata->GetXamlType(TypeName{u"", TypeKind::Custom}), nullptr);
}

TEST(XamlMetaDataProvider, OwnersNeverShareAProviderOrRecords) {
  EnsureModule();
  XamlMetadataOwner application;  // as the application object holds it
  auto first = Platform::ref_new<XamlMetaDataProvider>();
  auto second = Platform::ref_new<XamlMetaDataProvider>();

  auto fromApp = application.GetXamlType(Platform::String(u"Corvane.MainPage"));
  auto fromFirst = first->GetXamlType(Platform::String(u"Corvane.MainPage"));
  auto fromSecond = second->GetXamlType(TypeName{u"Corvane.MainPage", TypeKind::Custom});
  EXPECT_NE(application.Provider(), first->Provider());
  EXPECT_NE(first->Provider(), second->Provider());
  EXPECT_NE(fromApp, fromFirst);
  EXPECT_NE(fromFirst, fromSecond);
  EXPECT_EQ(fromApp->FullName(), fromFirst->FullName());
}

TEST(XamlMetaDataProvider, RacingFirstQuestionsAllGetAnswers) {
  EnsureModule();
  XamlMetadataOwner owner;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        auto type = owner.GetXamlType(Platform::String(u"Windows.UI.Xaml.Controls.Page"));
        if (!type || type->FullName() != u"Windows.UI.Xaml.Controls.Page") ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_NE(owner.Provider(), nullptr);
}

}  // namespace
