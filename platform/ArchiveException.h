#pragma once

#include <exception>
#include <string>

// The failure a document load raises, with the framework's cause numbers.
class CArchiveException : public std::exception
{
public:
    enum
    {
        none = 0,
        genericException = 1,
        readOnly = 2,
        endOfFile = 3,
        writeOnly = 4,
        badIndex = 5,
        badClass = 6,
        badSchema = 7
    };

    explicit CArchiveException(int nCause = none, std::string strFileName = std::string())
        : m_cause(nCause), m_strFileName(std::move(strFileName))
    {
    }
    const char* what() const noexcept override { return "archive exception"; }

    int m_cause;
    std::string m_strFileName;
    // What the reader found wrong, when it says ("line 12: expected a vertex index").
    std::string m_strDetail;
};
