// Type records, the provider's cache and its fallback to extra providers.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "support/app_fixture.h"
#include "support/xaml_type_test_support.h"
#include "xaml/xaml_system_base_type.h"
#include "xaml/xaml_type_info_provider.h"
#include "xaml/xaml_user_type.h"

namespace {

using namespace corvane_test;
using Windows::UI::Xaml::Interop::TypeKind;
using XamlTypeInfo::InfoProvider::XamlSystemBaseType;
using XamlTypeInfo::InfoProvider::XamlTypeInfoProvider;
using XamlTypeInfo::InfoProvider::XamlUserType;

constexpr const char16_t* PageName = u"Corvane.MainPage";
constexpr const char16_t* FrameworkPage = u"Windows.UI.Xaml.Controls.Page";
constexpr const char16_t* FrameworkUserControl = u"Windows.UI.Xaml.Controls.UserControl";

// Runs with the application fixture: pages are built on the UI thread of a
// running application.
class XamlTypes : public CorvaneTest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    EnsureModule();
  }
  std::shared_ptr<XamlTypeInfoProvider> provider = Platform::ref_new<XamlTypeInfoProvider>();
};

TEST_F(XamlTypes, PageRecordAnswersFromItsRow) {
  auto page = provider->FindTypeByName(PageName);
  ASSERT_NE(page, nullptr);
  auto user = std::dynamic_pointer_cast<XamlUserType>(page);
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(page->GetRuntimeClassName(), u"Windows.UI.Xaml.Markup.IXamlType2");
  EXPECT_EQ(page->FullName(), PageName);
  EXPECT_TRUE(page->IsConstructible());
  EXPECT_FALSE(page->IsArray());
  EXPECT_FALSE(page->IsCollection());
  EXPECT_FALSE(page->IsDictionary());
  EXPECT_FALSE(page->IsBindable());
  EXPECT_FALSE(page->IsMarkupExtension());
  EXPECT_EQ(page->UnderlyingType().Name, PageName);
  EXPECT_EQ(page->UnderlyingType().Kind, TypeKind::Custom);
  EXPECT_EQ(page->ContentProperty(), nullptr);
  EXPECT_EQ(page->ItemType(), nullptr);
  EXPECT_EQ(page->KeyType(), nullptr);
  EXPECT_EQ(user->BoxedType(), nullptr);
  EXPECT_EQ(page->GetMember(u"Content"), nullptr);
  EXPECT_NO_THROW(page->RunInitializer());

  // The base type is the framework page's system record, the cached one.
  auto base = page->BaseType();
  ASSERT_NE(base, nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<XamlSystemBaseType>(base), nullptr);
  EXPECT_EQ(base->FullName(), FrameworkPage);
  EXPECT_EQ(provider->FindTypeByName(FrameworkPage), base);

  // Functions the row lacks answer not-implemented instead of being called.
  auto item = NewObject();
  EXPECT_EQ(Platform::CallBoundary([&] { page->AddToVector(item, item); }), E_NOTIMPL);
  EXPECT_EQ(Platform::CallBoundary([&] { page->AddToMap(item, item, item); }), E_NOTIMPL);
  EXPECT_EQ(Platform::CallBoundary([&] { page->CreateFromString(u"x"); }), E_NOTIMPL);
}

TEST_F(XamlTypes, PageRecordActivatesANewPageEachTime) {
  StartApp();
  auto page = provider->FindTypeByName(PageName);
  auto first = page->ActivateInstance();
  auto second = page->ActivateInstance();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->GetRuntimeClassName(), u"Corvane.MainPage");
}

TEST_F(XamlTypes, SystemRecordsKnowOnlyTheirNameAndPrimitiveKind) {
  for (const char16_t* name : {FrameworkPage, FrameworkUserControl}) {
    auto type = provider->FindTypeByName(name);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetRuntimeClassName(), u"XamlTypeInfo.InfoProvider.XamlSystemBaseType");
    EXPECT_EQ(type->FullName(), name);
    EXPECT_EQ(type->UnderlyingType().Name, name);
    EXPECT_EQ(type->UnderlyingType().Kind, TypeKind::Primitive);  // not the row's Metadata
    EXPECT_EQ(std::dynamic_pointer_cast<Windows::UI::Xaml::Markup::IXamlType2>(type), nullptr);

    auto o = NewObject();
    const std::vector<std::function<void()>> notImplemented = {
        [&] { type->BaseType(); },          [&] { type->ContentProperty(); },
        [&] { type->IsArray(); },           [&] { type->IsCollection(); },
        [&] { type->IsConstructible(); },   [&] { type->IsDictionary(); },
        [&] { type->IsMarkupExtension(); }, [&] { type->IsBindable(); },
        [&] { type->ItemType(); },          [&] { type->KeyType(); },
        [&] { type->ActivateInstance(); },  [&] { type->CreateFromString(u"1"); },
        [&] { type->GetMember(u"m"); },     [&] { type->AddToVector(o, o); },
        [&] { type->AddToMap(o, o, o); },   [&] { type->RunInitializer(); }};
    for (std::size_t i = 0; i < notImplemented.size(); ++i) {
      EXPECT_EQ(Platform::CallBoundary(notImplemented[i]), E_NOTIMPL) << "member " << i;
    }
  }
}

TEST_F(XamlTypes, UnknownAndMalformedNamesGiveNull) {
  for (const Platform::String& name :
       {Platform::String(), Platform::String(u"corvane.mainpage"),
        Platform::String(u"Corvane.MainPage "), Platform::String(u"Corvane.Page"),
        Platform::String(37, u'a'), Platform::String(u"Windows.UI.Xaml.Controls.UserControl.")}) {
    EXPECT_EQ(provider->FindTypeByName(name), nullptr);
    EXPECT_EQ(provider->BuildType(name), nullptr);
    EXPECT_EQ(provider->FindTypeByTypeName({name, TypeKind::Custom}), nullptr);
  }
  EXPECT_EQ(provider->FindMemberByFullName(u""), nullptr);
  EXPECT_EQ(provider->FindMemberByFullName(u"Corvane.MainPage.Content"), nullptr);
}

TEST_F(XamlTypes, OneRecordPerNameWhileHeldAndANewOneAfterRelease) {
  auto first = provider->FindTypeByName(PageName);
  EXPECT_EQ(provider->FindTypeByName(PageName), first);
  // BuildType always makes a new record; only the lookup reuses.
  EXPECT_NE(provider->BuildType(PageName), first);

  std::weak_ptr<IXamlType> firstWeak = first;
  std::weak_ptr<IXamlType> baseWeak = first->BaseType();
  first.reset();
  EXPECT_TRUE(firstWeak.expired());  // the cache does not keep records alive
  EXPECT_TRUE(baseWeak.expired());   // nor the base type the record held

  auto again = provider->FindTypeByName(PageName);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->FullName(), PageName);
  EXPECT_EQ(provider->FindTypeByName(PageName), again);
}

TEST_F(XamlTypes, RecordKeepsItsProviderAlive) {
  auto page = provider->FindTypeByName(PageName);
  std::weak_ptr<XamlTypeInfoProvider> weakProvider = provider;
  provider.reset();
  EXPECT_FALSE(weakProvider.expired());
  EXPECT_EQ(page->ContentProperty(), nullptr);  // reaches the provider
  page.reset();
  EXPECT_TRUE(weakProvider.expired());
}

TEST_F(XamlTypes, LookupByTypeNameIgnoresTheKind) {
  auto byName = provider->FindTypeByName(PageName);
  for (auto kind : {TypeKind::Primitive, TypeKind::Metadata, TypeKind::Custom}) {
    EXPECT_EQ(provider->FindTypeByTypeName({PageName, kind}), byName);
    EXPECT_EQ(provider->FindTypeByTypeName({FrameworkUserControl, kind})->FullName(),
              FrameworkUserControl);
  }
}

TEST_F(XamlTypes, ConcurrentLookupsShareTheHeldRecords) {
  const Platform::String names[] = {PageName, FrameworkPage, FrameworkUserControl};
  std::shared_ptr<IXamlType> held[3];
  for (int i = 0; i < 3; ++i) held[i] = provider->FindTypeByName(names[i]);

  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        const int which = (i + t) % 3;
        auto found = (i % 2) ? provider->FindTypeByName(names[which])
                             : provider->FindTypeByTypeName({names[which], TypeKind::Metadata});
        if (found != held[which]) ++mismatches;
        // Records nobody holds are rebuilt and dropped concurrently.
        auto transient = Platform::ref_new<XamlTypeInfoProvider>()->FindTypeByName(PageName);
        if (!transient || transient->BaseType()->FullName() != FrameworkPage) ++mismatches;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(XamlTypes, ExtraProvidersAnswerNamesTheTableLacks) {
  auto nonConstructible = MakeForeignType(u"Game.Widget", false);
  auto constructible = MakeForeignType(u"Game.Widget", true);
  auto first = std::make_shared<FakeMetadataProvider>();
  auto second = std::make_shared<FakeMetadataProvider>();
  auto third = std::make_shared<FakeMetadataProvider>();
  first->byName = [&](const Platform::String&) { return nonConstructible; };
  third->byName = [&](const Platform::String&) { return constructible; };
  provider->ExtraProviders() = {first, second, third};

  // The first constructible answer wins; table names never reach them.
  EXPECT_EQ(provider->FindTypeByName(u"Game.Widget"), constructible);
  EXPECT_EQ(provider->FindTypeByName(PageName)->FullName(), PageName);
  EXPECT_EQ(provider->FindTypeByName(FrameworkPage)->FullName(), FrameworkPage);
  EXPECT_EQ(first->askedByName, 1);
  EXPECT_EQ(third->askedByName, 1);

  // Without a constructible answer the last non-constructible one is taken.
  auto other = Platform::ref_new<XamlTypeInfoProvider>();
  auto last = MakeForeignType(u"Game.Other", false);
  second->byName = [&](const Platform::String&) { return last; };
  third->byName = nullptr;
  other->ExtraProviders() = {first, second, third};
  EXPECT_EQ(other->FindTypeByName(u"Game.Other"), last);
  EXPECT_EQ(third->askedByName, 2);
}

TEST_F(XamlTypes, ExtraProviderAnswersAreCachedUnderTheirOwnName) {
  auto widget = MakeForeignType(u"Game.Widget", true);
  auto extra = std::make_shared<FakeMetadataProvider>();
  extra->byName = [&](const Platform::String& name) {
    return name == u"Game.Alias" ? widget : nullptr;
  };
  provider->ExtraProviders().push_back(extra);

  EXPECT_EQ(provider->FindTypeByName(u"Game.Alias"), widget);
  EXPECT_EQ(provider->FindTypeByName(u"Game.Widget"), widget);  // from the cache
  EXPECT_EQ(extra->askedByName, 1);
  EXPECT_EQ(provider->FindTypeByName(u"Game.Alias"), widget);  // not cached under the alias
  EXPECT_EQ(extra->askedByName, 2);
}

TEST_F(XamlTypes, ExtraProvidersByTypeNameAreAskedAfterTheName) {
  auto widget = MakeForeignType(u"Game.Widget", false);
  auto extra = std::make_shared<FakeMetadataProvider>();
  extra->byTypeName = [&](const TypeName& type) {
    return type.Kind == TypeKind::Custom ? widget : nullptr;
  };
  provider->ExtraProviders().push_back(extra);

  EXPECT_EQ(provider->FindTypeByTypeName({u"Game.Widget", TypeKind::Custom}), widget);
  EXPECT_EQ(extra->askedByName, 1);
  EXPECT_EQ(extra->askedByTypeName, 1);
  EXPECT_EQ(provider->FindTypeByTypeName({u"Game.Widget", TypeKind::Primitive}), nullptr);
  // An answer by TypeName is not cached.
  EXPECT_EQ(provider->FindTypeByName(u"Game.Widget"), nullptr);
  // Table names are answered by the table alone.
  EXPECT_EQ(provider->FindTypeByTypeName({PageName, TypeKind::Custom})->FullName(), PageName);
  EXPECT_EQ(extra->askedByTypeName, 2);
}

TEST_F(XamlTypes, ProvidersAddedDuringTheQuestionAreAskedToo) {
  auto late = std::make_shared<FakeMetadataProvider>();
  auto widget = MakeForeignType(u"Game.Widget", true);
  late->byName = [&](const Platform::String&) { return widget; };
  auto adding = std::make_shared<FakeMetadataProvider>();
  adding->byName = [&](const Platform::String&) {
    provider->ExtraProviders().push_back(late);
    return nullptr;
  };
  provider->ExtraProviders().push_back(adding);
  EXPECT_EQ(provider->AskExtraProvidersByName(u"Game.Widget"), widget);
}

TEST_F(XamlTypes, RecursiveLookupFromAnExtraProviderOnOneThread) {
  // The type cache lock is held while extra providers are asked; one that
  // asks the same provider back must not deadlock.
  auto reentrant = std::make_shared<FakeMetadataProvider>();
  reentrant->byName = [&](const Platform::String&) { return provider->FindTypeByName(PageName); };
  provider->ExtraProviders().push_back(reentrant);
  auto found = provider->FindTypeByName(u"Game.Alias");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->FullName(), PageName);
  EXPECT_EQ(provider->FindTypeByName(PageName), found);
}

TEST_F(XamlTypes, ExtraProviderFailureIsRaisedAndLeavesTheCacheUsable) {
  auto failing = std::make_shared<FakeMetadataProvider>();
  failing->byName = [](const Platform::String&) -> std::shared_ptr<IXamlType> {
    throw Platform::DisconnectedException();
  };
  provider->ExtraProviders().push_back(failing);
  auto page = provider->FindTypeByName(PageName);

  EXPECT_THROW(provider->FindTypeByName(u"Game.Widget"), Platform::DisconnectedException);
  EXPECT_EQ(Platform::CallBoundary([&] {
              provider->FindTypeByTypeName({u"Game.Widget", TypeKind::Custom});
            }),
            RPC_E_DISCONNECTED);
  // The lock was released on the way out: another thread gets through.
  std::shared_ptr<IXamlType> fromOtherThread;
  std::thread([&] { fromOtherThread = provider->FindTypeByName(PageName); }).join();
  EXPECT_EQ(fromOtherThread, page);
}

}  // namespace
