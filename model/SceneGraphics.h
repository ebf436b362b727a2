#pragma once

class CMesh;

// What draws the document's meshes, told of every mesh that enters the scene so that it can make
// what drawing it needs (a display list) at once, with its context current. The document draws
// nothing; without one (batch information and conversion, unit tests) nothing is made.
class CSceneGraphics
{
public:
    virtual ~CSceneGraphics() = default;
    virtual void MeshEntered(CMesh& mesh) = 0;
};
