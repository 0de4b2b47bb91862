// Extension-module registration: init once, a chain that owns its
// libraries, term removes a module's libraries only.
#include "ui/afxext.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtensionModuleTest, InitChainAndTerm)
{
    int here = 0, there = 0;
    AFX_EXTENSION_MODULE mine, other;
    EXPECT_FALSE(AfxInitExtensionModule(mine, nullptr));
    ASSERT_TRUE(AfxInitExtensionModule(mine, &here));
    ASSERT_TRUE(AfxInitExtensionModule(mine, &there)) << "a second init changes nothing";
    EXPECT_EQ(mine.hModule, &here);
    ASSERT_TRUE(AfxInitExtensionModule(other, &there));

    const int before = CDynLinkLibrary::chainLength();
    new CDynLinkLibrary(mine, FALSE);
    new CDynLinkLibrary(other, FALSE);
    ASSERT_EQ(CDynLinkLibrary::chainLength(), before + 2);
    EXPECT_EQ(CDynLinkLibrary::chainAt(0)->m_hModule, &there) << "newest first";

    AfxTermExtensionModule(mine);
    EXPECT_FALSE(mine.bInitialized);
    ASSERT_EQ(CDynLinkLibrary::chainLength(), before + 1);
    EXPECT_EQ(CDynLinkLibrary::chainAt(0)->m_hModule, &there);
    AfxTermExtensionModule(other);
    EXPECT_EQ(CDynLinkLibrary::chainLength(), before);
}

} // namespace
