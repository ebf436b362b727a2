#pragma once

#include <string>
#include <utility>

// What a picture writer reports. On failure the caller shows m_strText in a message box titled
// m_strCaption (empty: the application's own title); an empty text means there is nothing to
// say, because no picture was given.
class CImageWriteResult
{
public:
    virtual ~CImageWriteResult() = default;

    static CImageWriteResult Success()
    {
        CImageWriteResult result;
        result.m_bOk = true;
        return result;
    }
    static CImageWriteResult Failure(std::string strCaption, std::string strText)
    {
        CImageWriteResult result;
        result.m_strCaption = std::move(strCaption);
        result.m_strText = std::move(strText);
        return result;
    }

    bool m_bOk = false;
    std::string m_strCaption;
    std::string m_strText;
};
