#include "drawing/MeshDrawing.h"

#include <GL/gl.h>

void CMeshDrawing::DeleteLists()
{
    for (std::vector<uint32_t>& lists : m_runLists)
    {
        for (const uint32_t nList : lists)
            if (nList != 0)
                glDeleteLists(nList, 1);
        lists.clear();
    }
    if (m_nEndList != 0)
        glDeleteLists(m_nEndList, 1);
    m_nEndList = 0;
}
