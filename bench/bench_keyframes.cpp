// Keyframe throughput: reading large keyframe files (sorted and shuffled) and evaluating a long
// list at successive playback times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/ObjectKeyframes.h"
#include "model/PositionKeyframe.h"
#include "model/SceneObject.h"

namespace
{
std::string KeyframeText(int32_t nKeys, bool bShuffled)
{
    CSceneObject object;
    for (int32_t i = 0; i < nKeys; ++i)
    {
        auto* pKey = new CPositionKeyframe;
        pKey->m_nTime = i * 10;
        pKey->m_vPosition = CVector3(i * 0.5, -i * 0.25, 1.0 / (i + 1));
        object.AddPositionKey(pKey);
    }
    std::ostringstream out;
    WriteKeyframeStream(out, object);
    std::string strText = out.str();
    if (!bShuffled)
        return strText;
    // The same records in a fixed pseudo-random order.
    const size_t nFirst = strText.find("POS_FRAME");
    std::vector<std::string> records;
    for (size_t nStart = nFirst; nStart != std::string::npos;)
    {
        const size_t nNext = strText.find("POS_FRAME", nStart + 1);
        records.push_back(strText.substr(nStart, nNext == std::string::npos ? nNext : nNext - nStart));
        nStart = nNext;
    }
    std::shuffle(records.begin(), records.end(), std::mt19937(12345));
    std::string strShuffled = strText.substr(0, nFirst);
    for (const std::string& strRecord : records)
        strShuffled += strRecord;
    return strShuffled;
}

void ReadKeyframes(benchmark::State& state, bool bShuffled)
{
    const std::string strText = KeyframeText(static_cast<int32_t>(state.range(0)), bShuffled);
    for (auto _ : state)
    {
        CSceneObject object;
        if (!ReadKeyframeBuffer(strText, object))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(object.m_pPosKeys);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * strText.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReadSorted(benchmark::State& state)
{
    ReadKeyframes(state, false);
}
void BM_ReadShuffled(benchmark::State& state)
{
    ReadKeyframes(state, true);
}

// One playback tick after another over a list of 100000 keys 10 units apart.
void BM_EvaluatePlayback(benchmark::State& state)
{
    CSceneObject object;
    for (int32_t i = 0; i < 100000; ++i)
    {
        auto* pKey = new CPositionKeyframe;
        pKey->m_nTime = i * 10;
        pKey->m_vPosition = CVector3(i, 0, 0);
        object.AddPositionKey(pKey);
    }
    int32_t nTime = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(object.EvaluatePosition(nTime));
        nTime = nTime < 1000000 ? nTime + 1 : 0;
    }
    state.SetItemsProcessed(state.iterations());
}
} // namespace

BENCHMARK(BM_ReadSorted)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadShuffled)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluatePlayback);
BENCHMARK_MAIN();
