#pragma once

// Runs the teldviewgl binary in batch mode from a scratch folder of its own per test.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace BatchTestSupport
{
struct SRun
{
    int nStatus = -1;
    std::string strOut;
    std::string strErr;
};

inline std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("teldview_batch_" + std::to_string(getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    SRun Run(const std::vector<std::string>& args)
    {
        std::string strCommand = Quote(TELDVIEW_EXE);
        for (const std::string& arg : args)
            strCommand += " " + Quote(arg);
        strCommand += " >" + Quote((m_dir / "stdout").string()) + " 2>" + Quote((m_dir / "stderr").string());
        const int nRaw = std::system(strCommand.c_str());
        SRun run;
        run.nStatus = WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
        run.strOut = Slurp(m_dir / "stdout");
        run.strErr = Slurp(m_dir / "stderr");
        return run;
    }

    std::string WriteFile(const std::string& strName, const std::string& strText)
    {
        const fs::path path = m_dir / strName;
        std::ofstream(path, std::ios::binary) << strText;
        return path.string();
    }

    fs::path m_dir;
};
} // namespace BatchTestSupport
