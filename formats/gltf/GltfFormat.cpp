#include "formats/gltf/GltfFormat.h"

#include "formats/LittleEndian.h"

int RecogniseGLTF(std::string_view head, uint64_t)
{
    if (head.size() >= 8 && head.substr(0, 4) == "glTF")
        return LittleEndian::LoadUInt32(reinterpret_cast<const uint8_t*>(head.data() + 4)) == 2 ? 3 : 0;
    std::string_view text = head;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    const size_t nStart = text.find_first_not_of(" \t\r\n");
    if (nStart == std::string_view::npos || text[nStart] != '{')
        return 0;
    return text.find("\"asset\"", nStart) != std::string_view::npos ? 2 : 0;
}
