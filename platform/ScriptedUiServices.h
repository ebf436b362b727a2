#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/UiServices.h"

// For tests and batch mode: records every message and answers dialogs from queues. An empty
// queue answers "cancel"; messages are answered with the queued button or IDOK.
class CScriptedUiServices : public CUiServices
{
public:
    int MessageBox(const std::string& strText, unsigned nType = MB_OK,
                   const std::string& strCaption = std::string()) override;
    void BeginWaitCursor() override { ++m_nWaitCursorDepth, ++m_nWaitCursorShown; }
    void EndWaitCursor() override { --m_nWaitCursorDepth; }
    bool RunFileDialog(const SFileDialogRequest& request, std::string& strPath) override;
    bool ChooseColor(uint32_t& crColor, void* pOwner) override;

    std::vector<std::string> m_messages;
    // The caption and the type of each message, in the same order.
    std::vector<std::string> m_captions;
    std::vector<unsigned> m_messageTypes;
    std::vector<SFileDialogRequest> m_fileRequests;
    std::deque<int> m_messageAnswers;
    std::deque<std::string> m_fileAnswers;
    std::deque<uint32_t> m_colorAnswers;
    // The initial colour and the owner of every colour dialog asked for.
    std::vector<std::pair<uint32_t, void*>> m_colorRequests;
    int m_nWaitCursorDepth = 0;
    int m_nWaitCursorShown = 0;
    // When set, every message is also written to stderr (batch mode).
    bool m_bEchoToStderr = false;
};
