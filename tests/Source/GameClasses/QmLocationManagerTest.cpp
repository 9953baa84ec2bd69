// The location manager: script events in order for a new location, the same
// location, the empty name and Clear; reuse without reading; a file that
// cannot be read evicts nothing; entities removed everywhere.
#include "Source/GameClasses/QmLocation.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

namespace {

class CQmLocationManagerTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        recorder->Record({"harbour_init", "cellar_init"});
        tree.Location("harbour", "RecordLine('script harbour')");
        tree.Location("cellar", "RecordLine('script cellar')");
    }

    // The game processor's road: stop the current location, change, make it current.
    CQmLocation* Change(const char* name)
    {
        if (manager.current)
            manager.current->Stop();
        CQmLocation* location = manager.ChangeLocation(tree.Path(name).c_str());
        if (location)
            manager.SetCurrentLocation(location->name.c_str());
        return location;
    }
};

} // namespace

TEST_F(CQmLocationManagerTest, EventsOfANewLocationOfTheSameAndOfTheEmptyName)
{
    CQmLocation* harbour = Change("harbour");
    ASSERT_NE(nullptr, harbour);
    EXPECT_STREQ("harbour", harbour->name.c_str());
    EXPECT_EQ(harbour, manager.current);
    EXPECT_EQ("script harbour harbour_init()", recorder->Joined());
    EXPECT_FLOAT_EQ(0.0f, harbour->musicCheckTimer);

    // Another location: the old one is evicted while current, then the new
    // one's script runs and its init fires last.
    recorder->Clear();
    CQmLocation* cellar = Change("cellar");
    ASSERT_NE(nullptr, cellar);
    EXPECT_EQ("global_on_change_location() script cellar cellar_init()", recorder->Joined());
    EXPECT_EQ(1u, manager.locations.count);
    EXPECT_EQ(1u, manager.loadOrder.count);
    EXPECT_EQ(nullptr, manager.locations.Find(CGeString("harbour")));

    // The same location is reused without reading its file; the change
    // event comes from SetCurrentLocation, after the script ran again.
    recorder->Clear();
    std::remove(tree.Path("cellar").c_str());
    EXPECT_EQ(cellar, Change("cellar"));
    EXPECT_EQ("script cellar global_on_change_location() cellar_init()", recorder->Joined());

    // The empty name leaves no current location and fires nothing; an
    // unknown name changes nothing.
    recorder->Clear();
    manager.SetCurrentLocation("");
    EXPECT_EQ(nullptr, manager.current);
    manager.SetCurrentLocation("cellar");
    manager.SetCurrentLocation("nowhere");
    EXPECT_EQ(cellar, manager.current);

    // Clear fires nothing and leaves no current location.
    recorder->Clear();
    manager.Clear();
    EXPECT_EQ(nullptr, manager.current);
    EXPECT_EQ(0u, manager.locations.count);
    EXPECT_EQ("", recorder->Joined());
}

TEST_F(CQmLocationManagerTest, AFileThatCannotBeReadEvictsNothing)
{
    CQmLocation* harbour = Change("harbour");
    recorder->Clear();
    EXPECT_EQ(nullptr, manager.ChangeLocation(tree.Path("nowhere").c_str()));
    EXPECT_STREQ("ChangeLocation: cannot load location nowhere ! Ignored\n", GeLogLastMessage().c_str());
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_EQ(harbour, manager.current);
    EXPECT_EQ(1u, manager.locations.count);
    EXPECT_EQ("", recorder->Joined());
    EXPECT_TRUE(manager.CanChangeTo("harbour"));
    EXPECT_TRUE(manager.CanChangeTo("cellar"));
    EXPECT_FALSE(manager.CanChangeTo("nowhere"));
    // Either slash and any extension name the same key.
    EXPECT_EQ(harbour, manager.ChangeLocation("x\\y/harbour.other"));
}

TEST_F(CQmLocationManagerTest, RemoveEntityEverywhereAndTheLoadersContent)
{
    s_builder = [](CQmLocation& location) {
        location.AddNamedObject(CGeString("crate"), ProbeEntity("crate", {10}), false);
    };
    CQmLocation* harbour = Change("harbour");
    ASSERT_NE(nullptr, harbour->FindEntity("crate"));
    g_propJournal.clear();
    manager.RemoveEntityEverywhere("crate");
    EXPECT_EQ(nullptr, harbour->FindEntity("crate"));
    EXPECT_EQ((std::vector<std::string>{"crate.10 delete"}), g_propJournal);
    manager.RemoveEntityEverywhere("crate");
    EXPECT_STREQ("Cannot remove entity <crate> from location harbour:  not found!\n", GeLogLastMessage().c_str());
}
