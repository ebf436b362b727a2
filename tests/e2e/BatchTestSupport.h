#pragma once

// Runs the teldviewgl binary in batch mode from a scratch folder of its own per test.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace BatchTestSupport
{
const std::string EXAMPLES = TELDVIEW_EXAMPLES_DIR;
const char* const TRIANGLE_OFF = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";

struct SRun
{
    int nStatus = -1;
    std::string strOut, strErr;
};

inline std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class BatchTest : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(m_dir); }
    void TearDown() override { fs::remove_all(m_dir); }

    // The program with these arguments.
    SRun Run(const std::vector<std::string>& args) { return RunCommand(TELDVIEW_EXE, args); }
    // The program with these arguments, its standard input a pipe fed from the file strInput.
    SRun RunPiped(const std::string& strInput, const std::vector<std::string>& args)
    {
        return RunCommand(TELDVIEW_EXE, args, "cat " + Quote(strInput) + " | ");
    }
    SRun RunCommand(const std::string& strProgram, const std::vector<std::string>& args,
                    const std::string& strPrefix = std::string())
    {
        std::string strCommand = strPrefix + Quote(strProgram);
        // Appended, not built as " " + string: GCC 12 at -O3 warns falsely (-Wrestrict) on that.
        for (const std::string& arg : args)
            strCommand.append(" ").append(Quote(arg));
        const int nRaw =
            std::system((strCommand + " >" + Quote(Path("stdout")) + " 2>" + Quote(Path("stderr"))).c_str());
        return {WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1, Slurp(Path("stdout")), Slurp(Path("stderr"))};
    }
    std::string WriteFile(const std::string& strName, const std::string& strText)
    {
        std::ofstream(m_dir / strName, std::ios::binary) << strText;
        return Path(strName);
    }
    std::string Path(const std::string& strName) const { return (m_dir / strName).string(); }

    const fs::path m_dir = fs::temp_directory_path() / ("teldview_batch_" + std::to_string(getpid()));
};
} // namespace BatchTestSupport
