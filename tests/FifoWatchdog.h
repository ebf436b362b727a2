#pragma once

// Keeps a test that reads a FIFO from hanging: after a second, until it is destroyed, the
// watchdog keeps opening the FIFO for writing. A reader held in open() is let go (it reads an
// empty file), and Rescued() tells that it had waited.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

class CFifoWatchdog
{
public:
    explicit CFifoWatchdog(const std::string& strFifo)
        : m_thread(
              [this, strFifo, tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(1)]
              {
                  for (; !m_bStop; std::this_thread::sleep_for(std::chrono::milliseconds(10)))
                  {
                      // Opening for writing succeeds only while a reader has the FIFO open.
                      const int fd = std::chrono::steady_clock::now() < tEnd
                                         ? -1
                                         : ::open(strFifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                      m_bRescued = m_bRescued || fd >= 0;
                      if (fd >= 0)
                          ::close(fd);
                  }
              })
    {
    }
    ~CFifoWatchdog()
    {
        m_bStop = true;
        m_thread.join();
    }
    bool Rescued() const { return m_bRescued; }

private:
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bRescued{false};
    std::thread m_thread;
};
