#include "Engine/Core/Gm/GmMaterial.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/GameClasses/QmDialogSystem.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmHints.h"
#include "Source/GameClasses/QmRenderLink.h"

#include <cmath>

namespace {

// The arrow's mesh: drawn like any scenic mesh, except into the dialog's
// portrait of the speaker.
class CArrowMesh : public CGmScenicMesh {
public:
    void Render() override
    {
        if (g_dialogSystem && g_dialogSystem->IsDrawingPortrait())
            return;
        CGmScenicMesh::Render();
    }
};

Vec3 Normalized(Vec3 v)
{
    v.Normalize();
    return v;
}

} // namespace

CQm3dArrow::CQm3dArrow()
{
    CGmMesh* model = rescollect::LoadMesh(g_dataRoot + "gui/meshes/3darrow.gemesh");
    CGmMaterial* material = rescollect::LoadMaterial(g_dataRoot + "materials/items/arrow.xml");
    CGeArray<CGmMaterial*> materials;
    materials.Add(material);
    mesh = new CArrowMesh();
    mesh->SetMeshAndMaterials(materials, model, nullptr);
    mesh->visible = 0;
    mesh->frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
    mesh->frame.Invalidate();
    if (material)
        material->Release();
    if (model)
        model->Release();
}

CQm3dArrow::~CQm3dArrow()
{
    QmLayersRemove(mesh);
    delete mesh;
}

void CQm3dArrow::Show(const Vec3& position, const Vec3& target)
{
    basePosition = position;
    direction = Normalized({target.x - position.x, target.y - position.y, target.z - position.z});
    mesh->frame.SetPosition(position);
    mesh->visible = 1;
    QmLayersAdd(kLayer, mesh);
}

void CQm3dArrow::Hide()
{
    mesh->visible = 0;
}

bool CQm3dArrow::Shown() const
{
    return mesh->visible != 0;
}

void CQm3dArrow::Update(float frameTime)
{
    time += frameTime;
    const float a = kTurnRate * time;
    const Vec3 w = {std::sin(a), 0.0f, std::cos(a)};
    const Vec3& d = direction;
    const Vec3 u = Normalized(Vec3::Cross(w, d));
    const Vec3 v = Normalized(Vec3::Cross(d, u));
    const float bob = kBob * std::sin(a);

    // Columns: the length axis d, then v and -u, which turn about d; the
    // translation moves the arrow back and forth along d.
    Matrix4 m = Matrix4::Identity();
    const Vec3 columns[3] = {d, v, {-u.x, -u.y, -u.z}};
    for (int c = 0; c < 3; ++c) {
        m.At(0, c) = columns[c].x;
        m.At(1, c) = columns[c].y;
        m.At(2, c) = columns[c].z;
    }
    m.At(0, 3) = basePosition.x + d.x * bob;
    m.At(1, 3) = basePosition.y + d.y * bob;
    m.At(2, 3) = basePosition.z + d.z * bob;
    mesh->frame.SetMatrix(m);
    // The render layers run the mesh's own update (skinning, shadows) when
    // they draw it; here only its place is brought up to date.
    mesh->frame.UpdateWorldMatrix();
}
