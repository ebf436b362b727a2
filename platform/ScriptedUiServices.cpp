#include "platform/ScriptedUiServices.h"

#include <cstdio>

int CScriptedUiServices::MessageBox(const std::string& strText, unsigned nType, const std::string& strCaption)
{
    m_messages.push_back(strText);
    m_captions.push_back(strCaption);
    m_messageTypes.push_back(nType);
    if (m_bEchoToStderr && !strCaption.empty())
        std::fprintf(stderr, "%s: %s\n", strCaption.c_str(), strText.c_str());
    else if (m_bEchoToStderr)
        std::fprintf(stderr, "%s\n", strText.c_str());
    if (m_messageAnswers.empty())
        return IDOK;
    const int nAnswer = m_messageAnswers.front();
    m_messageAnswers.pop_front();
    return nAnswer;
}

bool CScriptedUiServices::RunFileDialog(const SFileDialogRequest& request, std::string& strPath)
{
    m_fileRequests.push_back(request);
    if (m_fileAnswers.empty())
        return false;
    strPath = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    return true;
}

bool CScriptedUiServices::ChooseColor(uint32_t& crColor, void* pOwner)
{
    m_colorRequests.emplace_back(crColor, pOwner);
    if (m_colorAnswers.empty())
        return false;
    crColor = m_colorAnswers.front();
    m_colorAnswers.pop_front();
    return true;
}
