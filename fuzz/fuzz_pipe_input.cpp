// Reading a model from a pipe as far as its first bytes say, on arbitrary bytes: never a crash,
// what is read is the start of what was sent, and the reader then given it never crashes either.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/InputFile.h"
#include "formats/ModelFormat.h"
#include "formats/PipeInput.h"
#include "model/Mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    // A pipe holds 64 KiB without a reader.
    const std::string_view data(reinterpret_cast<const char*>(pData), nSize < 65536 ? nSize : 65536);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return 0;
    const bool bWritten = write(fds[1], data.data(), data.size()) == static_cast<ssize_t>(data.size());
    close(fds[1]);
    SPipeInput input;
    std::string strProblem;
    bool bRead = false;
    if (bWritten)
    {
        const std::string strPipe = "/proc/self/fd/" + std::to_string(fds[0]);
        const CPipeInputPermit permit(strPipe);
        CInputFile file;
        bRead = file.Open(strPipe) && ReadPipeInput(file, 16384, input, strProblem);
    }
    close(fds[0]);
    if (!bWritten)
        return 0;
    if (input.contents != data.substr(0, input.contents.size()) || (bRead && !strProblem.empty()) ||
        (!bRead && input.contents.size() > 16384 + 1))
        std::abort();
    if (bRead && input.pFormat != nullptr && input.pFormat->fnReadBuffer != nullptr)
    {
        CMesh mesh;
        mesh.ReadModelBuffer(*input.pFormat, input.contents, "-");
    }
    return 0;
}
