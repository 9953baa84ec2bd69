// The particle-effect file reader: every value kind and its text forms, the
// key order of the property walk, behaviours, and the systems that are
// skipped, replaced or never named.
#include "Engine/Anim/GcPsysProperties.h"
#include "tests/Engine/Anim/ParticleTestSupport.h"

#include <cmath>
#include <functional>

namespace {

std::string PlayAll(std::initializer_list<const char*> names)
{
    std::string xml = "<psys_effect>";
    for (const char* name : names)
        xml +=
            std::string("<particle_system name=\"") + name + "\"><key time=\"0\" command=\"start\"/></particle_system>";
    return xml + "</psys_effect>";
}

class GcPsysLoader : public ParticleTest {};

TEST_F(GcPsysLoader, EveryValueKindAndItsTextForms)
{
    const std::string properties =
        Property("EP_PS_minLiveTime", "0.25") + Property("EP_PS_maxLiveTime", "9") + Property("EP_PS_appearTime", "5") +
        Property("EP_PS_SO_bornCount", "7") + Property("EP_PS_SO_bornGranularity", "") +
        Property("EP_PS_initialColor1", "0xFF102030") + Property("EP_PS_initialColor2", "4279246896") +
        Property("EP_PS_SO_Synchronized", "True") + Property("EP_PS_SO_Increasable", "true") +
        Property("EP_PS_SO_Precalculated", "TRUE") + Property("EP_PS_blendMode", "ALPHA") +
        Property("EP_PS_preOpBlendMode", "ADD") + Property("EP_PS_psType", "MESHES") +
        Property("EP_PS_emitterType", "SPHEROID") + Property("EP_PS_initialAngle", "400") +
        Property("EP_PS_initialAngle_min", "-5") + Property("EP_PS_maxTurnAngle", "90") + Property("EP_PS_Y", "12.5") +
        Property("EP_PS_pivotX", "0") + Property("EP_PS_orientNormalZ", "-1") +
        Property("EP_PS_xAxisIsSpeedColinear", "True") + Property("EP_PS_lod_minDistance", "300") +
        Property("EP_PS_emitterD", "") + Property("EP_PS_NoSuchThing", "3") + Property("EP_PS_minInitialSpeed", "1") +
        Property("EP_PS_minInitialSpeed", "2");
    std::unique_ptr<CGcPsysEffect> effect(Load(SystemXml("fire", properties) + PlayAll({"fire"})));
    ASSERT_TRUE(effect);
    CGcParticleSystem* system = SystemOf(effect.get(), "fire");
    ASSERT_TRUE(system);
    const GcParticleSettings& s = system->settings;

    struct Row {
        const char* what;
        double actual;
        double expected;
    };
    const Row rows[] = {
        {"float", s.minLife, 0.25},
        {"appear time clamped by the default maxLiveTime (applied first)", s.appearTime, 1.0},
        {"maxLiveTime applied after the appear time", s.maxLife, 9.0},
        {"unsigned", double(s.bornCount), 7.0},
        {"empty unsigned", double(s.bornGranularity), 0.0},
        {"hex colour", double(s.colour1), double(0xFF102030u)},
        {"decimal colour", double(s.colour2), double(0xFF102030u)},
        {"\"True\" sets the flag, \"true\" and \"TRUE\" clear theirs", double(s.options), double(GC_PS_SYNCHRONIZED)},
        {"unknown blend name gives COPY", double(s.blendMode), double(GC_BLEND_COPY)},
        {"second blend mode", double(s.secondBlendMode), double(GC_BLEND_ADD)},
        {"system type", double(s.systemType), double(GC_PS_MESHES)},
        {"emitter type", double(s.emitterType), double(GC_EMITTER_SPHEROID)},
        {"angle 400 stored as 360", s.outerAngle, 360.0},
        {"inner angle clamped at 0", s.innerAngle, 0.0},
        {"spin range", s.spinRange, 90.0},
        {"one coordinate of the position", system->frame.position.y, 12.5},
        {"other coordinates untouched", system->frame.position.x, 0.0},
        {"pivot", s.pivot[0], 0.0},
        {"facing normal", s.facingNormal.z, -1.0},
        {"bool", double(s.speedColinear), 1.0},
        {"level-of-detail distance", s.lodDistance, 300.0},
        {"empty float", s.emitterExtent.z, 0.0},
        {"a later entry replaces an earlier one", s.minSpeed, 2.0},
        {"default max speed", s.maxSpeed, 10.0},
        {"default min size", s.minSize.x, 1.0},
    };
    for (const Row& row : rows)
        EXPECT_DOUBLE_EQ(row.expected, row.actual) << row.what;
    EXPECT_EQ(4u, system->capacity);
    EXPECT_EQ(kGcParticleSystemType, system->GetTypeId());
    EXPECT_EQ(kGcPsysEffectType, effect->GetTypeId());
}

TEST_F(GcPsysLoader, ConversionsByKind)
{
    struct Row {
        GcPsysValueKind kind;
        const char16_t* text;
        uint32_t integer;
        float number;
    };
    const Row rows[] = {
        {GC_VALUE_FLOAT, u"1.5", 0, 1.5f},
        {GC_VALUE_FLOAT, u"abc", 0, 0.0f},
        {GC_VALUE_UNSIGNED, u"4000000000", 4000000000u, 0},
        {GC_VALUE_UNSIGNED, u"99999999999", 0xFFFFFFFFu, 0},
        {GC_VALUE_UNSIGNED, u"-3", 0, 0},
        {GC_VALUE_COLOUR, u"0Xff00ff00", 0xFF00FF00u, 0},
        {GC_VALUE_COLOUR, u"255", 255u, 0},
        {GC_VALUE_BOOL, u"True", 1, 0},
        {GC_VALUE_BOOL, u"1", 0, 0},
        {GC_VALUE_BLEND, u"NOTEXTURE", 0, 0},
        {GC_VALUE_BLEND, u"ALPHA_STENCIL", 7, 0},
        {GC_VALUE_BLEND, u"add", 1, 0},
        {GC_VALUE_SYSTEM_TYPE, u"QUADS", 0, 0},
        {GC_VALUE_SYSTEM_TYPE, u"SPRITES", 0, 0},
        {GC_VALUE_EMITTER_TYPE, u"CUBOID", 1, 0},
        {GC_VALUE_EMITTER_TYPE, u"BOX", 0, 0},
    };
    for (const Row& row : rows) {
        const GcPsysValue value = ConvertPsysValue(row.kind, CGeWString(row.text));
        EXPECT_EQ(row.integer, value.integer) << int(row.kind);
        EXPECT_FLOAT_EQ(row.number, value.number) << int(row.kind);
    }
}

TEST_F(GcPsysLoader, BehavioursInFileOrderWithMissingValuesZero)
{
    const std::string procs = "<PROC Type=\"Speed_ConstForce\" Val1=\"-9.5\"/>"
                              "<PROC Type=\"pos_default\" Val0=\"1\"/>"
                              "<PROC Val0=\"1\"/>"
                              "<PROC Type=\"NoSuchBehaviour\"/>"
                              "<PROC Type=\"Pos_Default\"/>";
    std::unique_ptr<CGcPsysEffect> effect(Load(SystemXml("dust", "", procs) + PlayAll({"dust"})));
    ASSERT_TRUE(effect);
    CGcParticleSystem* system = SystemOf(effect.get(), "dust");
    ASSERT_TRUE(system);
    ASSERT_EQ(2u, system->behaviours.Count());
    EXPECT_EQ(FindParticleBehaviour("Speed_ConstForce"), system->behaviours[0].operation);
    EXPECT_EQ(0.0f, system->behaviours[0].values[0]);
    EXPECT_EQ(-9.5f, system->behaviours[0].values[1]);
    for (int n = 2; n < 8; ++n)
        EXPECT_EQ(0.0f, system->behaviours[0].values[n]);
    EXPECT_EQ(FindParticleBehaviour("Pos_Default"), system->behaviours[1].operation);
}

TEST_F(GcPsysLoader, SystemsSkippedWithALogLineAndTheRestLoads)
{
    struct Row {
        const char* what;
        std::string system;
        const char* logged; // part of the last log line, null for none
    };
    const Row rows[] = {
        {"no Name", "<PARTICLE_SYSTEM>" + Property("EP_PS_ParticleCount", "3") + "</PARTICLE_SYSTEM>", nullptr},
        {"no count", "<PARTICLE_SYSTEM Name=\"bad\">" + Property("EP_PS_Image", "spark.tga") + "</PARTICLE_SYSTEM>",
         "has no EP_PS_ParticleCount"},
        {"no image", "<PARTICLE_SYSTEM Name=\"bad\">" + Property("EP_PS_ParticleCount", "3") + "</PARTICLE_SYSTEM>",
         "has no EP_PS_Image"},
        {"texture not found", SystemXml("bad", Property("EP_PS_Image", "missing.tga")), "no texture 'missing.tga'"},
    };
    for (const Row& row : rows) {
        GeLogClearLast();
        std::unique_ptr<CGcPsysEffect> effect(Load(row.system + SystemXml("good", "") + PlayAll({"bad", "good"})));
        ASSERT_TRUE(effect) << row.what;
        EXPECT_EQ(1u, effect->entries.Count()) << row.what;
        EXPECT_TRUE(SystemOf(effect.get(), "good")) << row.what;
        if (row.logged) {
            // The script's look-up of "bad" logs last; the skip came before it.
            EXPECT_NE(nullptr, strstr(GeLogLastMessage().c_str(), "no particle system named 'bad'")) << row.what;
        }
    }
    // The skip's own line, without a script to log after it.
    GeLogClearLast();
    std::unique_ptr<CGcPsysEffect> effect(Load(SystemXml("bad", Property("EP_PS_Image", "missing.tga"))));
    ASSERT_TRUE(effect);
    EXPECT_EQ(2, GeLogLastLevel());
    EXPECT_NE(nullptr, strstr(GeLogLastMessage().c_str(), "no texture 'missing.tga' for particle system 'bad'"));
}

TEST_F(GcPsysLoader, ReplacedAndUnnamedSystemsAreDeletedOnce)
{
    // Under the leak checker a system left behind fails the run; one deleted
    // twice fails at once.
    const std::string body = SystemXml("smoke", Property("EP_PS_ParticleCount", "2")) +
                             SystemXml("smoke", Property("EP_PS_ParticleCount", "5")) + SystemXml("unused", "") +
                             "<psys_effect><particle_system name=\"smoke\"><key time=\"0\"/></particle_system>"
                             "<particle_system name=\"smoke\" looped=\"1\"><key time=\"1\"/></particle_system>"
                             "</psys_effect>";
    std::unique_ptr<CGcPsysEffect> effect(Load(body));
    ASSERT_TRUE(effect);
    ASSERT_EQ(2u, effect->entries.Count());
    EXPECT_EQ(effect->entries[0].system, effect->entries[1].system);
    EXPECT_EQ(5u, effect->entries[0].system->capacity);
    EXPECT_EQ(1u, effect->systems.Count());
    EXPECT_EQ(&effect->frame, effect->entries[0].system->frame.parent);
}

TEST_F(GcPsysLoader, NoEffectFromMissingEmptyOrForeignFiles)
{
    CGcPsysEffect* effect = nullptr;
    LoadPsysEffect("nothing_here.xml", &effect);
    EXPECT_EQ(nullptr, effect);
    dir.Write("empty.xml", "");
    LoadPsysEffect("empty.xml", &effect);
    EXPECT_EQ(nullptr, effect);
    dir.Write("other.xml", "<GUI>" + SystemXml("a", "") + "</GUI>");
    LoadPsysEffect("other.xml", &effect);
    EXPECT_EQ(nullptr, effect);
    // A collection without a script gives an effect without entries.
    std::unique_ptr<CGcPsysEffect> bare(Load(SystemXml("a", "")));
    ASSERT_TRUE(bare);
    EXPECT_EQ(0u, bare->entries.Count());
    EXPECT_EQ(0u, bare->systems.Count());
}

} // namespace
