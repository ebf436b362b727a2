// Keyframe files and their text records.
#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "formats/InputFile.h"
#include "formats/NumberFormat.h"
#include "formats/TokenStream.h"
#include "formats/kff/KeyframeFile.h"

namespace
{
void AppendHeader(std::string& text, const char* pszKeyword, int32_t nTime)
{
    text += pszKeyword;
    text += '\n';
    NumberFormat::AppendInt(text, nTime);
    text += '\n';
}

// False, with nothing appended, when a value is not finite: no reader takes "inf" or "nan".
bool AppendLine(std::string& text, const double* pValues, int nCount)
{
    if (!NumberFormat::AllFinite(pValues, nCount))
        return false;
    for (int i = 0; i < nCount; ++i)
    {
        if (i > 0)
            text += ' ';
        NumberFormat::AppendGeneral(text, pValues[i]);
    }
    text += '\n';
    return true;
}

// A record with a value that is not finite fails the stream instead of being written.
void WriteRecord(std::ostream& out, const char* pszKeyword, int32_t nTime, const double* pFirst,
                 const double* pSecond, int nCount)
{
    std::string text;
    AppendHeader(text, pszKeyword, nTime);
    if (!AppendLine(text, pFirst, nCount) || !AppendLine(text, pSecond, nCount))
    {
        out.setstate(std::ios::failbit);
        return;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Keyword, time and nCount reals; nothing is stored unless all of them are there.
bool ReadRecord(CTokenStream& in, std::string_view keyword, int32_t& nTime, double* pValues, int nCount)
{
    std::string_view token;
    if (!in.NextToken(token) || token != keyword)
        return false;
    if (!in.NextInt(nTime))
        return false;
    for (int i = 0; i < nCount; ++i)
        if (!in.NextDouble(pValues[i]))
            return false;
    return true;
}
} // namespace

void WritePositionRecord(std::ostream& out, const SKeyframeRecords::SPosition& record)
{
    WriteRecord(out, "POS_FRAME", record.nTime, record.pdPosition, record.pdDirection, 3);
}

bool ReadPositionRecord(CTokenStream& in, SKeyframeRecords::SPosition& record)
{
    int32_t nTime = 0;
    double p[6];
    if (!ReadRecord(in, "POS_FRAME", nTime, p, 6))
        return false;
    record.nTime = nTime;
    std::copy_n(p, 3, record.pdPosition);
    std::copy_n(p + 3, 3, record.pdDirection);
    return true;
}

void WriteOrientationRecord(std::ostream& out, const SKeyframeRecords::SOrientation& record)
{
    WriteRecord(out, "ORI_FRAME", record.nTime, record.pdOrientation, record.pdRotation, 4);
}

bool ReadOrientationRecord(CTokenStream& in, SKeyframeRecords::SOrientation& record)
{
    int32_t nTime = 0;
    double p[8];
    if (!ReadRecord(in, "ORI_FRAME", nTime, p, 8))
        return false;
    record.nTime = nTime;
    std::copy_n(p, 4, record.pdOrientation);
    std::copy_n(p + 4, 4, record.pdRotation);
    return true;
}

namespace
{
// Memory follows the records the file holds, not the count it announces.
template <typename TRecord, typename TRead>
bool ReadList(CTokenStream& in, int32_t nCount, std::vector<TRecord>& records, TRead read)
{
    for (int32_t i = 0; i < nCount; ++i)
    {
        TRecord record;
        if (!read(in, record))
            return false;
        records.push_back(record);
    }
    return true;
}

bool ReadRecords(CTokenStream& in, SKeyframeRecords& records)
{
    std::string_view keyword;
    if (!in.NextToken(keyword) || keyword != "KFF")
        return false;
    int32_t nPosCount = 0;
    int32_t nOriCount = 0;
    if (!in.NextInt(nPosCount) || !in.NextInt(nOriCount))
        return false;
    SKeyframeRecords read;
    try
    {
        if (!ReadList(in, nPosCount, read.positions, ReadPositionRecord) ||
            !ReadList(in, nOriCount, read.orientations, ReadOrientationRecord))
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    records = std::move(read);
    return true;
}
} // namespace

bool ReadKeyframeRecords(const std::string& strPath, SKeyframeRecords& records)
{
    CInputFile file;
    if (!file.Open(strPath))
        return false;
    CTokenStream in(file.Fd());
    return ReadRecords(in, records);
}

bool ReadKeyframeRecordsBuffer(std::string_view buffer, SKeyframeRecords& records)
{
    CTokenStream in(buffer);
    return ReadRecords(in, records);
}

bool WriteKeyframeRecords(std::ostream& out, const SKeyframeRecords& records)
{
    std::string header = "KFF\n";
    NumberFormat::AppendInt(header, static_cast<int64_t>(records.positions.size()));
    header += ' ';
    NumberFormat::AppendInt(header, static_cast<int64_t>(records.orientations.size()));
    header += '\n';
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    for (const SKeyframeRecords::SPosition& record : records.positions)
        WritePositionRecord(out, record);
    for (const SKeyframeRecords::SOrientation& record : records.orientations)
        WriteOrientationRecord(out, record);
    return static_cast<bool>(out);
}
