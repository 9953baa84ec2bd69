// The operations the game layer shares with the mini-games: bounded random
// numbers, wide formatting into a string, and image lists.
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Source/GameClasses/QmImageList.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <string>

TEST(RandomInt, FollowsTheGeneratorModuloNPlusOne)
{
    for (uint32_t seed : {1u, 12345u}) {
        GeSrand(seed);
        std::vector<int> expected;
        for (int i = 0; i < 50; ++i)
            expected.push_back(GeRand());
        GeSrand(seed);
        for (int i = 0; i < 50; ++i) {
            const uint32_t n = uint32_t(i % 3 == 0 ? 0 : (i % 3 == 1 ? 1 : 6));
            EXPECT_EQ(expected[i] % int(n + 1), RandomInt(n)) << i;
        }
    }
    GeSrand(7);
    bool seen[2] = {false, false};
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(0, RandomInt(0));
        seen[RandomInt(1)] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1]);
    GeSrand(3);
    const int whole = GeRand();
    GeSrand(3);
    EXPECT_EQ(whole, RandomInt(0xFFFFFFFFu));
}

TEST(FormatWideString, CutsAt4095UnitsAndEmptiesOnEmpty)
{
    CGeWString target(u"old");
    const std::u16string long5000(5000, u'x');
    FormatWideString(target, u"%s", long5000.c_str());
    EXPECT_EQ(4095u, target.Length());
    FormatWideString(target, u"%i apples", 12);
    EXPECT_TRUE(target == CGeWString(u"12 apples"));
    FormatWideString(target, u"");
    EXPECT_EQ(0u, target.Length());
}

TEST_F(LocationTest, LoadImageListRequestsOneTexturePerImage)
{
    CGeArray<CGmTexture*> textures;
    EXPECT_FALSE(LoadImageList((tree.dir / "missing.xml").c_str(), textures));
    tree.dir.Write("noroot.xml", "<images/>");
    EXPECT_FALSE(LoadImageList((tree.dir / "noroot.xml").c_str(), textures));
    tree.dir.Write("empty.xml", "<imagelist/>");
    EXPECT_TRUE(LoadImageList((tree.dir / "empty.xml").c_str(), textures));
    EXPECT_EQ(0u, textures.count);
    // Elements without "filename" still ask for one texture each.
    tree.dir.Write("nameless.xml", "<imagelist><image/><image other='1'/></imagelist>");
    EXPECT_TRUE(LoadImageList((tree.dir / "nameless.xml").c_str(), textures));
    EXPECT_EQ(2u, textures.count);
    for (CGmTexture* texture : textures)
        texture->Release();
}
