// The text records of position and orientation keyframes.
#include <string>
#include <string_view>

#include "formats/NumberFormat.h"
#include "formats/TokenStream.h"
#include "model/OrientationKeyframe.h"
#include "model/PositionKeyframe.h"

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

void CPositionKeyframe::Write(std::ostream& out) const
{
    const double pPosition[3] = {m_vPosition.x, m_vPosition.y, m_vPosition.z};
    const double pDirection[3] = {m_vDirection.x, m_vDirection.y, m_vDirection.z};
    WriteRecord(out, "POS_FRAME", m_nTime, pPosition, pDirection, 3);
}

bool CPositionKeyframe::Read(CTokenStream& in)
{
    int32_t nTime = 0;
    double p[6];
    if (!ReadRecord(in, "POS_FRAME", nTime, p, 6))
        return false;
    m_nTime = nTime;
    m_vPosition = CVector3(p[0], p[1], p[2]);
    m_vDirection = CVector3(p[3], p[4], p[5]);
    return true;
}

// Quaternions are stored vector part first, scalar part last.
void COrientationKeyframe::Write(std::ostream& out) const
{
    const double pOrientation[4] = {m_qOrientation.v.x, m_qOrientation.v.y, m_qOrientation.v.z,
                                    m_qOrientation.w};
    const double pRotation[4] = {m_qRotation.v.x, m_qRotation.v.y, m_qRotation.v.z, m_qRotation.w};
    WriteRecord(out, "ORI_FRAME", m_nTime, pOrientation, pRotation, 4);
}

bool COrientationKeyframe::Read(CTokenStream& in)
{
    int32_t nTime = 0;
    double p[8];
    if (!ReadRecord(in, "ORI_FRAME", nTime, p, 8))
        return false;
    m_nTime = nTime;
    m_qOrientation = CQuaternion(p[3], p[0], p[1], p[2]);
    m_qRotation = CQuaternion(p[7], p[4], p[5], p[6]);
    return true;
}
