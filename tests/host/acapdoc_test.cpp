// Documents: the resource handles dialog code pushes around its template
// lookups, kept by scopes.
#include "host/acapdoc.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

void* current()
{
    return acDocManager->currentResourceHandle();
}

// A resource handle scope pushes its handle for its life and puts the one
// below back however it is left: at its end, by a return, by an exception;
// scopes nest, the same handle too.
TEST(ResourceHandleScopeTest, PushesForItsLifeAndPutsTheHandleBelowBackOnEveryWayOut)
{
    int module = 0, dialog = 0;
    void* const before = current();
    {
        const AcApResourceHandleScope outer(&module);
        EXPECT_EQ(current(), &module);
        {
            const AcApResourceHandleScope inner(&dialog);
            EXPECT_EQ(current(), &dialog);
            const AcApResourceHandleScope again(&dialog);
            EXPECT_EQ(current(), &dialog);
        }
        EXPECT_EQ(current(), &module);

        const auto lookUp = [&](bool found) {
            const AcApResourceHandleScope resources(&dialog);
            if (!found)
                return false;
            EXPECT_EQ(current(), &dialog);
            return true;
        };
        EXPECT_FALSE(lookUp(false));
        EXPECT_EQ(current(), &module);
        EXPECT_TRUE(lookUp(true));
        EXPECT_EQ(current(), &module);

        EXPECT_THROW(
            {
                const AcApResourceHandleScope resources(&dialog);
                throw std::runtime_error("the dialog failed");
            },
            std::runtime_error);
        EXPECT_EQ(current(), &module);
    }
    EXPECT_EQ(current(), before);
}

} // namespace
