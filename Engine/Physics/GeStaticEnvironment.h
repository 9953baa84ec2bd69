// The static collision environment of a location: the geoms of a
// "static_environment" file, held by the static body in the collision world.
//
//   <static_environment>
//     <geom type="box" size="2 1 2" pos="0 0.5 0" rot_euler="0 45 0" euler_type="ZXY"/>
//   </static_environment>
//
// "type" is one of "plane", "aabb", "sphere", "box", "cylinder" and "capsule";
// boxes need a "size" with three positive components, spheres a positive
// "radius", cylinders and capsules a positive "height" and "radius". "pos" and
// "rot_euler" (degrees) place the geom; "euler_type" "XYZ" picks the other
// angle order, anything else keeps "ZXY". A geom that does not meet its needs
// is skipped and the rest are read.
#pragma once

#include <cstdint>

class CGeCollisionGeom;
class TiXmlDocument;
class TiXmlElement;

// Replaces the static environment with the file at path (the caller prefixes
// the data root). A null path does nothing; a file that cannot be read leaves
// the environment empty.
void LoadStaticEnvironment(const char* path);

// The part after the file is read: clears the environment, then fills the
// static body from the document's root and puts it into the collision world.
// Returns the number of geoms read. A root other than "static_environment"
// leaves the environment empty.
uint32_t LoadStaticEnvironmentDocument(const TiXmlDocument& document);

// One "geom" element as a new geom, posed and bounded; null when the element
// does not describe one.
CGeCollisionGeom* LoadStaticGeom(const TiXmlElement* element);
