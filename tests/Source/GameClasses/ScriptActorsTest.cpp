// "LoadActor" and "UnloadActor" through Lua: the file name built from the
// first argument, the second argument as the actor's name or the keep flag,
// and the refused forms.
#include "Source/GameClasses/QmEntity.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

using namespace locwriter;

namespace {

class ScriptActorsTest : public ScriptLocationTest {};

} // namespace

TEST_F(ScriptActorsTest, LoadActorPlacesOrKeepsAndUnloadActorRemoves)
{
    tree.dir.Write("Actors/sailor.xml", Entity("name=\"x\""));
    Run("LoadActor('sailor')");
    EXPECT_NE(nullptr, location->FindEntity("sailor"));
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("sailor"));
    Run("LoadActor('sailor', 'mate')");
    EXPECT_NE(nullptr, location->FindEntity("mate"));
    // Kept: in the catalogue, not in the location.
    Run("LoadActor('sailor', true)");
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("sailor")) << "the name is taken in the location";
    // A number is a text: it names the actor.
    Run("LoadActor('sailor', 2)");
    EXPECT_NE(nullptr, location->FindEntity("2"));
    tree.dir.Write("Actors/captain.xml", Entity("name=\"x\""));
    Run("LoadActor('captain', true)");
    CQmEntity* captain = CQmUnifiedCollector::FindActor("captain");
    ASSERT_NE(nullptr, captain);
    EXPECT_EQ(nullptr, location->FindEntity("captain"));

    // Refused forms load nothing.
    const uint32_t entities = location->entities.count;
    for (const char* call : {"LoadActor()", "LoadActor('captain', true, 1)", "LoadActor('sailor', {})",
                             "LoadActor({}, 'x')", "UnloadActor()", "UnloadActor('captain', 1)"})
        Run(call);
    EXPECT_EQ(entities, location->entities.count);
    EXPECT_EQ(captain, CQmUnifiedCollector::FindActor("captain"));

    Run("UnloadActor('captain')");
    EXPECT_EQ(nullptr, CQmUnifiedCollector::FindActor("captain"));
}
