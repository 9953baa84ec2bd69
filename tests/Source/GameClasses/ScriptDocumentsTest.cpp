// Overlay documents through Lua: "LoadOverlayDocument" reading a document
// file into the current location (a replaced document kept alive with the
// location, damaged files logged), "ShowDocument" finding a name in the
// location first and the catalogue second, locking input while a document
// shows, and the game processor forgetting a document deleted with its
// location.
#include "tests/Source/GameClasses/CursorFixtures.h"
#include "tests/Source/GameClasses/ScriptLocationFixture.h"

using namespace locwriter;

namespace {

class ScriptDocumentsTest : public ScriptLocationTest {
protected:
    void WriteDocument(const std::string& file, const std::string& name, int sprites)
    {
        std::string text = "<overlay_document" + (name.empty() ? std::string() : " name=\"" + name + "\"") + ">";
        for (int i = 0; i < sprites; ++i)
            text += std::string("<sprite2d image=\"") + kRedPicture + "\" pos=\"" + std::to_string(i * 10) + " 0 0\"/>";
        tree.dir.Write(file, text + "</overlay_document>");
    }

    CQmOverlayDocument* Document(const char* name)
    {
        auto* node = location->documents.Find(CGeString(name));
        return node ? node->value : nullptr;
    }
};

} // namespace

TEST_F(ScriptDocumentsTest, LoadOverlayDocumentFillsTheLocationAndKeepsReplacedDocuments)
{
    WriteDocument("documents/note.xml", "note", 1);
    WriteDocument("documents/note2.xml", "note", 2);
    WriteDocument("documents/unnamed.xml", "", 1);
    tree.dir.Write("documents/broken.xml", "<overlay_document name=\"broken\"><sprite2d");
    tree.dir.Write("documents/other.xml", "<letter name=\"other\"/>");

    Run("LoadOverlayDocument('documents/note.xml')");
    CQmOverlayDocument* first = Document("note");
    ASSERT_NE(nullptr, first);
    ASSERT_EQ(1u, first->children.Count());
    EXPECT_EQ(&first->frame, first->children[0]->frame.parent);

    // The same name again: the second document is used, the first stays alive.
    Run("ShowDocument('note')");
    EXPECT_EQ(first, m_processor.document);
    Run("LoadOverlayDocument('documents/note2.xml')");
    CQmOverlayDocument* second = Document("note");
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_EQ(2u, second->children.Count());
    ASSERT_EQ(1u, location->retiredDocuments.Count());
    EXPECT_EQ(first, location->retiredDocuments[0]);
    EXPECT_EQ(1u, first->children.Count());

    struct Case {
        const char* call;
        const char* log;
    };
    const Case damaged[] = {
        {"LoadOverlayDocument('documents/unnamed.xml')", "Unnamed document - ignored!\n"},
        {"LoadOverlayDocument('documents/broken.xml')", "Unnamed document - ignored!\n"},
        {"LoadOverlayDocument('documents/other.xml')", "Unnamed document - ignored!\n"},
        {"LoadOverlayDocument('documents/missing.xml')", "Unnamed document - ignored!\n"},
        {"LoadOverlayDocument()", ""},
    };
    for (const Case& c : damaged) {
        Run(c.call);
        EXPECT_EQ(c.log, TakeLog()) << c.call;
    }
    EXPECT_EQ(1u, location->documents.Count());
    NoLocation();
    Run("LoadOverlayDocument('documents/unnamed.xml')");
    EXPECT_EQ("", TakeLog());

    // The location's deletion takes its documents, and the shown one off screen.
    manager.current = location;
    manager.Clear();
    location = nullptr;
    EXPECT_EQ(nullptr, m_processor.document);
}

TEST_F(ScriptDocumentsTest, ShowDocumentLooksInTheLocationThenTheCatalogueAndLocksInput)
{
    WriteDocument("documents/map.xml", "map", 1);
    Run("LoadOverlayDocument('documents/map.xml')");
    auto* catalogued = new CQmOverlayDocument;
    catalogued->name = "chart";
    CQmUnifiedCollector::StoreDocument(catalogued->name, catalogued);
    auto* shadowed = new CQmOverlayDocument;
    shadowed->name = "map";
    CQmUnifiedCollector::StoreDocument(shadowed->name, shadowed);

    // The cursor is refreshed: hidden while the document locks the input,
    // the default again when it closes.
    BlankCursors blankCursors;
    CGeCursorSet& cursors = *blankCursors.set;
    cursors.SetCursor(1);

    Run("ShowDocument('map')");
    EXPECT_EQ(Document("map"), m_processor.document);
    EXPECT_EQ(100000.0f, m_processor.inputLockTime);
    EXPECT_EQ(0u, cursors.shownCursor);
    Run("ShowDocument('chart')");
    EXPECT_EQ(catalogued, m_processor.document);

    Run("ShowDocument('atlas')");
    EXPECT_EQ("@lua@No overlay document found: atlas\n", TakeLog());
    EXPECT_EQ(catalogued, m_processor.document);
    Run("ShowDocument() ShowDocument('map', 1) ShowDocument({})");
    EXPECT_EQ(catalogued, m_processor.document);

    Run("ShowDocument('')");
    EXPECT_EQ(nullptr, m_processor.document);
    EXPECT_EQ(0.0f, m_processor.inputLockTime);
    EXPECT_EQ(1u, cursors.shownCursor);

    // Without a location the catalogue still answers.
    NoLocation();
    Run("ShowDocument('map')");
    EXPECT_EQ(shadowed, m_processor.document);
    CQmUnifiedCollector::Clear();
    EXPECT_EQ(nullptr, m_processor.document);
}
