#pragma once

#include <string>

// What an open hands to a document's Serialize: the file's full path and the direction.
class CArchive
{
public:
    enum
    {
        store = 0,
        load = 1
    };
    CArchive(std::string strPath, int nMode) : m_strPath(std::move(strPath)), m_nMode(nMode) {}
    virtual ~CArchive() = default;

    bool IsLoading() const { return m_nMode == load; }
    bool IsStoring() const { return m_nMode == store; }
    const std::string& GetFilePath() const { return m_strPath; }
    void Flush() {}

private:
    std::string m_strPath;
    int m_nMode;
};
