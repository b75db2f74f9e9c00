// A stand-in encoder library that exports five of the six entry points: built once per missing
// name (OMIT_<name>) to check that the writer refuses a library lacking any one of them.

#include "engine/record/BladeEncApi.h"

using namespace blade;

#ifndef OMIT_beInitStream
BLADE_EXPORT BE_ERR beInitStream(BE_CONFIG*, std::uint32_t*, std::uint32_t*, HBE_STREAM*)
{
    return BE_ERR_INVALID_FORMAT;
}
#endif
#ifndef OMIT_beEncodeChunk
BLADE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM, std::uint32_t, const std::int16_t*, std::uint8_t*,
                                  std::uint32_t*)
{
    return BE_ERR_INVALID_HANDLE;
}
#endif
#ifndef OMIT_beDeinitStream
BLADE_EXPORT BE_ERR beDeinitStream(HBE_STREAM, std::uint8_t*, std::uint32_t*)
{
    return BE_ERR_INVALID_HANDLE;
}
#endif
#ifndef OMIT_beCloseStream
BLADE_EXPORT BE_ERR beCloseStream(HBE_STREAM)
{
    return BE_ERR_INVALID_HANDLE;
}
#endif
#ifndef OMIT_beVersion
BLADE_EXPORT void beVersion(BE_VERSION*) {}
#endif
#ifndef OMIT_beWriteVBRHeader
BLADE_EXPORT BE_ERR beWriteVBRHeader(const char*)
{
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
}
#endif
