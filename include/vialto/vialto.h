/*
 * vialto: frame sequences, image conversion and overlays for roadside traffic cameras.
 *
 * One flat C interface. Every function here is exported from libvialto.so and nothing else is.
 * Results are plain integers (1 success, 0 failure unless a function says otherwise) or pointers
 * (null on failure). No function throws and none prints, except the JPEG codec's notices.
 *
 * Ownership: buffers returned by the frame calls go back through Ser_DeleteFrameDataBuf, buffers
 * returned by RGBToJpeg / JpegToRGB through Ser_DeleteJpegToRGBBuf (== Ser_DeleteRGBToJpegBuf).
 * Every other buffer belongs to the caller, who sizes it as each function documents.
 *
 * Images: RGB24 is R,G,B per pixel, top row first, rows of width*3 bytes with no padding. Bitmap
 * order is B,G,R per pixel, bottom row first. Grey is one byte a pixel, top row first. YUV 4:2:2
 * planar of n = width*height pixels is Y (n bytes), then V/Cr (n/2) at n, then U/Cb (n/2) at 3n/2.
 */
#ifndef VIALTO_VIALTO_H
#define VIALTO_VIALTO_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
/* The Windows records (LOGFONTA, COLORREF, RGB) come from the system's own header, so a host
 * that includes windows.h as well sees one definition of each. */
#include <windows.h>
/* vialto.dll's export table is its .def file; hosts import. */
#if defined(VIALTO_BUILD_DLL)
#define VIALTO_API
#else
#define VIALTO_API __declspec(dllimport)
#endif
/* 32-bit exports use the standard (callee-clears) convention; 64-bit Windows has only one. */
#if defined(_M_IX86) || defined(__i386__)
#define VIALTO_CALL __stdcall
#else
#define VIALTO_CALL
#endif
#else
#define VIALTO_API __attribute__((visibility("default")))
#define VIALTO_CALL
#endif

#ifdef __cplusplus
#define VIALTO_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define VIALTO_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ---------------------------------------------------------------------------------------------
 * Records. Hosts declare these and pass pointers to them; the offsets are part of the interface.
 * On disk the same fields are packed little-endian; the Ser_*To* codecs convert between the two.
 * ------------------------------------------------------------------------------------------- */

/* File information: a "ser" trailer (last 54 bytes) or the start of an "se1" head. 60 bytes. */
typedef struct SerInfo {
  char chSign[3]; /* 0: "ser" or "se1", copied as stored */
  /* 3: gap */
  uint16_t wVal03;      /* 4 */
  uint16_t wFrameCount; /* 6: number of frames */
  uint16_t wVal07;      /* 8 */
  uint16_t wVal09;      /* 10 */
  uint8_t byColorMode;  /* 12: 1 all colour, 2 grey with a colour last frame */
  uint8_t byVal0C;      /* 13 */
  uint8_t byVal0D;      /* 14 */
  uint8_t byVal0E;      /* 15 */
  uint16_t wVal0F;      /* 16 */
  uint8_t byVal11;      /* 18 */
  uint8_t byVal12;      /* 19 */
  uint32_t dwVal13;     /* 20 */
  uint8_t byVal17;      /* 24 */
  uint8_t byColorMode2; /* 25: must equal byColorMode for "ser" frame positions */
  uint8_t byVal19;      /* 26 */
  uint8_t byVal1A;      /* 27 */
  uint8_t byVal1B;      /* 28 */
  uint8_t byVal1C;      /* 29 */
  uint16_t wVal1D;      /* 30 */
  uint16_t wVal1F;      /* 32 */
  uint16_t wVal21;      /* 34 */
  uint8_t byVal23;      /* 36 */
  uint8_t byVal24;      /* 37 */
  uint8_t byVal25;      /* 38 */
  uint8_t byVal26;      /* 39 */
  uint16_t wVal27;      /* 40 */
  uint8_t byVal29;      /* 42 */
  /* 43: gap */
  uint16_t wVal2A;        /* 44 */
  uint16_t wVal2C;        /* 46 */
  uint16_t wVal2E;        /* 48 */
  uint8_t byReserved[10]; /* 50: zero after decoding */
} SerInfo;

/* The "se1" head: SerInfo, then three fields from disk offsets 64, 68 and 69. 80 bytes. */
typedef struct SerHeadInfo {
  SerInfo info;        /* 0 */
  uint8_t byExtra[12]; /* 60: never read or written by the codecs */
  uint32_t dwHeadLen;  /* 72: length of the head = offset of the first frame */
  uint8_t byVal44;     /* 76 */
  /* 77: gap */
  uint16_t wVal45; /* 78 */
} SerHeadInfo;

/* A frame's 64-byte sub-header in an "se1" file. 76 bytes. */
typedef struct SubHeadInfo {
  char chMark[8];        /* 0: sync marker "QXAAAAAA" */
  char chCodec[4];       /* 8: "JPG" or "JPE" (first three characters, any case) */
  int32_t nFrameNo;      /* 12: frame number from 0 */
  int32_t nFrameLen;     /* 16: frame length including this sub-header */
  int32_t nPrevFrameLen; /* 20: nFrameLen of the previous frame */
  uint16_t wWidth;       /* 24 */
  uint16_t wHeight;      /* 26 */
  uint8_t byColorStatus; /* 28 */
  uint8_t byVal1D;       /* 29: reported as "aux" by the frame calls */
  uint8_t byVal1E;       /* 30 */
  uint8_t byVal1F;       /* 31 */
  uint8_t byVal20;       /* 32 */
  char chVal21[12];      /* 33 */
  /* 45: gap */
  uint16_t wVal2D; /* 46 */
  uint16_t wVal2F; /* 48 */
  uint16_t wVal31; /* 50 */
  uint16_t wVal33; /* 52 */
  uint8_t byVal35; /* 54 */
  /* 55: gap */
  uint16_t wVal36;        /* 56 */
  uint16_t wVal38;        /* 58 */
  uint16_t wVal3A;        /* 60 */
  uint16_t wVal3C;        /* 62 */
  uint8_t byReserved[12]; /* 64: zero after decoding */
} SubHeadInfo;

VIALTO_STATIC_ASSERT(sizeof(SerInfo) == 60, "SerInfo is 60 bytes");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal03) == 4, "SerInfo.wVal03");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wFrameCount) == 6, "SerInfo.wFrameCount");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal07) == 8, "SerInfo.wVal07");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal09) == 10, "SerInfo.wVal09");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byColorMode) == 12, "SerInfo.byColorMode");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal0C) == 13, "SerInfo.byVal0C");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal0D) == 14, "SerInfo.byVal0D");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal0E) == 15, "SerInfo.byVal0E");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal0F) == 16, "SerInfo.wVal0F");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal11) == 18, "SerInfo.byVal11");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal12) == 19, "SerInfo.byVal12");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, dwVal13) == 20, "SerInfo.dwVal13");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal17) == 24, "SerInfo.byVal17");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byColorMode2) == 25, "SerInfo.byColorMode2");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal19) == 26, "SerInfo.byVal19");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal1A) == 27, "SerInfo.byVal1A");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal1B) == 28, "SerInfo.byVal1B");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal1C) == 29, "SerInfo.byVal1C");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal1D) == 30, "SerInfo.wVal1D");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal1F) == 32, "SerInfo.wVal1F");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal21) == 34, "SerInfo.wVal21");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal23) == 36, "SerInfo.byVal23");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal24) == 37, "SerInfo.byVal24");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal25) == 38, "SerInfo.byVal25");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal26) == 39, "SerInfo.byVal26");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal27) == 40, "SerInfo.wVal27");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byVal29) == 42, "SerInfo.byVal29");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal2A) == 44, "SerInfo.wVal2A");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal2C) == 46, "SerInfo.wVal2C");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, wVal2E) == 48, "SerInfo.wVal2E");
VIALTO_STATIC_ASSERT(offsetof(SerInfo, byReserved) == 50, "SerInfo.byReserved");

VIALTO_STATIC_ASSERT(sizeof(SerHeadInfo) == 80, "SerHeadInfo is 80 bytes");
VIALTO_STATIC_ASSERT(offsetof(SerHeadInfo, byExtra) == 60, "SerHeadInfo.byExtra");
VIALTO_STATIC_ASSERT(offsetof(SerHeadInfo, dwHeadLen) == 72, "SerHeadInfo.dwHeadLen");
VIALTO_STATIC_ASSERT(offsetof(SerHeadInfo, byVal44) == 76, "SerHeadInfo.byVal44");
VIALTO_STATIC_ASSERT(offsetof(SerHeadInfo, wVal45) == 78, "SerHeadInfo.wVal45");

VIALTO_STATIC_ASSERT(sizeof(SubHeadInfo) == 76, "SubHeadInfo is 76 bytes");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, chCodec) == 8, "SubHeadInfo.chCodec");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, nFrameNo) == 12, "SubHeadInfo.nFrameNo");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, nFrameLen) == 16, "SubHeadInfo.nFrameLen");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, nPrevFrameLen) == 20, "SubHeadInfo.nPrevFrameLen");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wWidth) == 24, "SubHeadInfo.wWidth");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wHeight) == 26, "SubHeadInfo.wHeight");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, byColorStatus) == 28, "SubHeadInfo.byColorStatus");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, byVal1D) == 29, "SubHeadInfo.byVal1D");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, byVal1E) == 30, "SubHeadInfo.byVal1E");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, byVal1F) == 31, "SubHeadInfo.byVal1F");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, byVal20) == 32, "SubHeadInfo.byVal20");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, chVal21) == 33, "SubHeadInfo.chVal21");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal2D) == 46, "SubHeadInfo.wVal2D");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal2F) == 48, "SubHeadInfo.wVal2F");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal31) == 50, "SubHeadInfo.wVal31");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal33) == 52, "SubHeadInfo.wVal33");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, byVal35) == 54, "SubHeadInfo.byVal35");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal36) == 56, "SubHeadInfo.wVal36");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal38) == 58, "SubHeadInfo.wVal38");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal3A) == 60, "SubHeadInfo.wVal3A");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, wVal3C) == 62, "SubHeadInfo.wVal3C");
VIALTO_STATIC_ASSERT(offsetof(SubHeadInfo, byReserved) == 64, "SubHeadInfo.byReserved");

/* ---------------------------------------------------------------------------------------------
 * Font description and colours, laid out as the Windows records of the same names (60 bytes).
 * ------------------------------------------------------------------------------------------- */
#if !defined(_WIN32)
typedef uint32_t COLORREF; /* 0x00BBGGRR */

typedef struct LOGFONTA {
  int32_t lfHeight;     /* < 0: em height in pixels; > 0: cell height; 0: default size */
  int32_t lfWidth;      /* average character width; 0: the face's own */
  int32_t lfEscapement; /* rotation of the line, tenths of a degree counter-clockwise */
  int32_t lfOrientation;
  int32_t lfWeight; /* 100..900; 400 normal, 700 bold; 0: normal */
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality; /* NONANTIALIASED_QUALITY draws mono glyphs, others anti-aliased */
  uint8_t lfPitchAndFamily;
  char lfFaceName[32]; /* zero-terminated face name, "" for any */
} LOGFONTA;

VIALTO_STATIC_ASSERT(sizeof(LOGFONTA) == 60, "LOGFONTA is 60 bytes");
VIALTO_STATIC_ASSERT(offsetof(LOGFONTA, lfItalic) == 20, "LOGFONTA.lfItalic");
VIALTO_STATIC_ASSERT(offsetof(LOGFONTA, lfFaceName) == 28, "LOGFONTA.lfFaceName");

#ifndef RGB
#define RGB(r, g, b)                                                     \
  ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | \
              ((uint32_t)(uint8_t)(b) << 16)))
#endif
#ifndef FW_NORMAL
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_BLACK 900
#endif
#ifndef DEFAULT_QUALITY
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#endif
#ifndef DEFAULT_PITCH
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50
#endif
#endif /* !_WIN32 */

/* The sequence decoder, an opaque handle. */
#ifdef __cplusplus
class CSerFileDecode;
#else
typedef struct CSerFileDecode CSerFileDecode;
#endif

/* ---------------------------------------------------------------------------------------------
 * Library frame: samples.
 * ------------------------------------------------------------------------------------------- */

/* Sample variable; 0 after load and never touched by the library. vialto.dll exports it under
 * the C++ name that MSVC C++ hosts import (?nVialto@@3HA, ordinal 3); C and mingw hosts on
 * Windows reach it with GetProcAddress. */
#if defined(_WIN32) && defined(_MSC_VER) && defined(__cplusplus) && !defined(VIALTO_BUILD_DLL)
extern "C++" {
extern VIALTO_API int nVialto;
}
#else
extern VIALTO_API int nVialto;
#endif

/* Sample function: returns 42. */
VIALTO_API int fnVialto(void);

/* Shows the test dialog ("Dialog": OK / Cancel) and returns when the user closes it: on Windows a
 * modal dialog from template 11217, elsewhere on the controlling terminal (at once when there is
 * none). parent is ignored (pass null). */
VIALTO_API void VIALTO_CALL Test(void* parent);

/* ---------------------------------------------------------------------------------------------
 * Record codecs. None checks its pointers; they return nothing.
 * ------------------------------------------------------------------------------------------- */

/* Zeroes *info, then decodes disk bytes 0..47 of a file-information block into it. */
VIALTO_API void VIALTO_CALL Ser_BufToSerInfo(const void* buf, SerInfo* info);
/* As Ser_BufToSerInfo for info->info, then dwHeadLen, byVal44, wVal45 from bytes 64, 68, 69.
 * byExtra and the gap byte keep what the caller's record held. */
VIALTO_API void VIALTO_CALL Ser_BufToSerHeadInfo(const void* buf, SerHeadInfo* info);
/* Zeroes *info, then decodes disk bytes 0..61 of a 64-byte sub-header into it. */
VIALTO_API void VIALTO_CALL Ser_BufToSubHeadInfo(const void* buf, SubHeadInfo* info);
/* Zeroes the first len bytes of buf, then writes bytes 0..47 (buf must hold at least 48). */
VIALTO_API void VIALTO_CALL Ser_SerInfoToBuf(const SerInfo* info, void* buf, uint32_t len);
/* Zeroes the first len bytes of buf, then writes bytes 0..47 and 64..70 (buf must hold 71). */
VIALTO_API void VIALTO_CALL Ser_SerHeadInfoToBuf(const SerHeadInfo* info, void* buf, uint32_t len);
/* Writes the 64-byte sub-header of *info to buf; bytes 62 and 63 are zero. */
VIALTO_API void VIALTO_CALL Ser_SubHeadInfoToBuf(const SubHeadInfo* info, void* buf);

/* ---------------------------------------------------------------------------------------------
 * Sequence decoder. A decoder is used by one thread at a time; separate decoders are independent.
 * ------------------------------------------------------------------------------------------- */

/* New decoder, or null when it cannot be allocated. Release with Ser_FinishSerFileDecode. */
VIALTO_API CSerFileDecode* VIALTO_CALL Ser_CreateSerFileDecode(void);
/* Destroys the decoder with its source and internet session. A null handle is ignored. */
VIALTO_API void VIALTO_CALL Ser_FinishSerFileDecode(CSerFileDecode* decoder);
/* Opens a local path or an http://, https:// or ftp:// URL (shorter than 250 characters) and
 * stands on frame 0. Returns 1 opened, 0 failed, -1 neither a "ser" nor an "se1" file. */
VIALTO_API int VIALTO_CALL Ser_SetSerFileName(CSerFileDecode* decoder, const char* name);
/* Releases the current source and stores ftp settings (texts cut to 63, 31, 31 characters).
 * The library keeps them only. Returns 1. */
VIALTO_API int VIALTO_CALL Ser_SetSerFileFtp(CSerFileDecode* decoder, const char* text1,
                                             const char* text2, const char* text3, int value);
/* -1 no file recognised, 0 "ser", 1 "se1". */
VIALTO_API int VIALTO_CALL Ser_GetSerFileType(CSerFileDecode* decoder);
/* Copies min(len, 128) raw head bytes to dst. Returns 54 for "ser", the head length for "se1",
 * -1 with no file. */
VIALTO_API int VIALTO_CALL Ser_GetSerFileInfo(CSerFileDecode* decoder, void* dst, int len);

/* Navigation: 1 moved, 0 failed. A failed "se1" move leaves the decoder as it was. */
VIALTO_API int VIALTO_CALL Ser_MoveFirst(CSerFileDecode* decoder);
VIALTO_API int VIALTO_CALL Ser_MoveEnd(CSerFileDecode* decoder);
/* Relative move; "se1" files accept only +1 and -1. */
VIALTO_API int VIALTO_CALL Ser_MoveCurrentFrameNo(CSerFileDecode* decoder, int delta);
/* Absolute move by frame number ("ser": clamped to the last frame). */
VIALTO_API int VIALTO_CALL Ser_MoveTo(CSerFileDecode* decoder, int frameNo);
/* Current frame number (from 0), -1 before the first successful open. */
VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameNo(CSerFileDecode* decoder);
/* Byte offset of the current frame (its sub-header for "se1"); -1 above 2^31 - 1. */
VIALTO_API int VIALTO_CALL Ser_GetCurrentFramePos(CSerFileDecode* decoder);
/* Copies the current frame's raw 64-byte sub-header to out and returns 64. */
VIALTO_API int VIALTO_CALL Ser_GetCurrentSubHeadInfo(CSerFileDecode* decoder, void* out);

/* ---------------------------------------------------------------------------------------------
 * Frame data. type: 0 as stored, 1 grey, 2 YUV 4:2:2 planar, 3 RGB24, 4 JPEG (Ex calls only).
 * w, h, aux receive the frame's width, height and auxiliary byte.
 * A frame that is not wholly in the file fails every call here (0 or null): an "se1" frame that
 * the file ends inside, a "ser" frame that does not lie wholly in front of the trailer (a frame
 * count that declares more frames than the file holds). Its length and the moves are unchanged.
 * ------------------------------------------------------------------------------------------- */

/* Reads length bytes of the current frame's stored data into buf. 1 read, 0 failed (also when
 * the file ends inside the frame). Bytes asked for beyond the frame and the file read as 0. */
VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameData(CSerFileDecode* decoder, unsigned char* buf,
                                                   int length);
/* Length of the current frame's stored data; 0 with no file. */
VIALTO_API int VIALTO_CALL Ser_GetCurrentFrameDataLength(CSerFileDecode* decoder);
/* Colour status of the current frame (1 colour, 0 grey); -1 with no file. */
VIALTO_API int VIALTO_CALL Ser_GetColorStatus(CSerFileDecode* decoder);
/* The current frame as type 0..3 in a new buffer (release with Ser_DeleteFrameDataBuf), or null.
 * "JPE" frames come out in bitmap order (B,G,R, bottom row first), "JPG" frames as decoded. */
VIALTO_API unsigned char* VIALTO_CALL Ser_GetCurrentFrameDataBuf(CSerFileDecode* decoder, int* w,
                                                                 int* h, int* aux, int type);
/* As Ser_GetCurrentFrameDataBuf for types 0..4, with the output length in *length; here "JPG"
 * frames come out in bitmap order and "JPE" frames as decoded. */
VIALTO_API unsigned char* VIALTO_CALL Ser_GetCurrentFrameDataBufEx(CSerFileDecode* decoder, int* w,
                                                                   int* h, int* aux, int* length,
                                                                   int type);
/* Ser_GetCurrentFrameDataBuf into the caller's dst (sized for the output). Returns dst or null. */
VIALTO_API unsigned char* VIALTO_CALL Ser_CopyCurrentFrameData(CSerFileDecode* decoder, int* w,
                                                               int* h, int* aux, int type,
                                                               unsigned char* dst);
/* Ser_GetCurrentFrameDataBufEx into the caller's dst (*length bytes). Returns dst or null. */
VIALTO_API unsigned char* VIALTO_CALL Ser_CopyCurrentFrameDataEx(CSerFileDecode* decoder, int* w,
                                                                 int* h, int* aux, int* length,
                                                                 int type, unsigned char* dst);
/* Releases a buffer from the frame calls (null is ignored). Returns 1. */
VIALTO_API int VIALTO_CALL Ser_DeleteFrameDataBuf(CSerFileDecode* decoder, void* buffer);

/* Copies the whole source to a local file at path (created or emptied). unused is ignored.
 * Returns 1 when every byte was written, else 0. */
VIALTO_API int VIALTO_CALL Ser_SaveToLocal(CSerFileDecode* decoder, const char* path, int unused);

/* ---------------------------------------------------------------------------------------------
 * Pixel conversions (caller buffers, sizes from n = width * height).
 * ------------------------------------------------------------------------------------------- */

/* YUV 4:2:2 planar (2n bytes) to RGB24 (3n bytes), 8.8 fixed point. Returns 1. */
VIALTO_API int VIALTO_CALL YUV422PlaneToRGB(const unsigned char* yuv, unsigned char* rgb, int width,
                                            int height);
/* The same in double precision, row by row in pixel pairs. Returns 1. */
VIALTO_API int VIALTO_CALL YUV422PlaneToRGB_FLOAT(const unsigned char* yuv, unsigned char* rgb,
                                                  int width, int height);
/* RGB24 to YUV 4:2:2 planar, chroma from the left pixel of each pair, 8.8 fixed point. Returns 1.
 */
VIALTO_API int VIALTO_CALL RGBToYUV422Plane(const unsigned char* rgb, unsigned char* yuv, int width,
                                            int height);
/* The same in double precision. Returns 1. */
VIALTO_API int VIALTO_CALL RGBToYUV422Plane_FLOAT(const unsigned char* rgb, unsigned char* yuv,
                                                  int width, int height);
/* Grey (n bytes) to RGB24: each channel max(grey - 16, 0). */
VIALTO_API void VIALTO_CALL GrayToRGB(const unsigned char* gray, unsigned char* rgb, int width,
                                      int height);
/* RGB24 to grey (n bytes): (19595 R + 38470 G + 7471 B + 32768) >> 16. */
VIALTO_API void VIALTO_CALL RGBToGray(const unsigned char* rgb, unsigned char* gray, int width,
                                      int height);
/* Exchanges bytes 0 and 2 of every pixel in place. Returns 0 for a null image, else 1. */
VIALTO_API int VIALTO_CALL ImageSwapRGB(unsigned char* image, unsigned width, unsigned height);

/* ---------------------------------------------------------------------------------------------
 * Geometry.
 * ------------------------------------------------------------------------------------------- */

/* Turns rows upside down, into dst or in place (dst == src). threeBytes != 0: 3-byte pixels.
 * Returns 1. */
VIALTO_API int VIALTO_CALL ImageFlip(unsigned char* dst, const unsigned char* src, int width,
                                     int rows, int threeBytes);
/* Bilinear resize in 8.8 fixed point; mode 0 one byte a pixel, 3 three bytes. Returns 0 when the
 * destination is smaller than 4 x 4 or the source smaller than 1 x 2, else 1. */
VIALTO_API int VIALTO_CALL ImageResize(unsigned char* dst, const unsigned char* src, int srcWidth,
                                       int srcHeight, int dstWidth, int dstHeight, int mode,
                                       int unused);
/* memcpy of count bytes. Returns 1. */
VIALTO_API int VIALTO_CALL Ser_CopyMemory(void* dst, const void* src, uint32_t count);

/* ---------------------------------------------------------------------------------------------
 * JPEG in memory.
 * ------------------------------------------------------------------------------------------- */

/* Compresses an RGB24 (bitDepth 24) or grey (8) image at quality 1..100 into a new buffer and
 * stores the stream length in *length. Release with Ser_DeleteRGBToJpegBuf. Null on failure. */
VIALTO_API unsigned char* VIALTO_CALL RGBToJpeg(const unsigned char* image, int width, int height,
                                                int bitDepth, int quality, uint32_t* length);
/* Decompresses a JPEG stream into a new width*height*3-byte buffer (RGB24, or grey in the first
 * width*height bytes when *bitDepth is 8). Release with Ser_DeleteJpegToRGBBuf. Null on failure. */
VIALTO_API unsigned char* VIALTO_CALL JpegToRGB(const unsigned char* data, int length,
                                                uint32_t* width, uint32_t* height, int* bitDepth);
/* RGBToJpeg into the caller's dst. Returns 1, or 0 on failure. */
VIALTO_API int VIALTO_CALL ImageRGBToJpeg(unsigned char* dst, const unsigned char* image, int width,
                                          int height, int bitDepth, int quality, uint32_t* length);
/* JpegToRGB into the caller's dst (width*height*3 bytes are copied). Returns 1, or 0. */
VIALTO_API int VIALTO_CALL ImageJpegToRGB(unsigned char* dst, const unsigned char* data, int length,
                                          uint32_t* width, uint32_t* height, int* bitDepth);
/* Releases a buffer from RGBToJpeg or JpegToRGB; null is ignored. One function, two names. */
VIALTO_API void VIALTO_CALL Ser_DeleteJpegToRGBBuf(void* buffer);
VIALTO_API void VIALTO_CALL Ser_DeleteRGBToJpegBuf(void* buffer);

/* ---------------------------------------------------------------------------------------------
 * Overlays and plate recognition (bitmap-order images: B,G,R, bottom row first).
 * ------------------------------------------------------------------------------------------- */

/* Draws one line of Windows-1252 text at (x, y), the top-left of the first character's cell, y
 * counted from the top of the picture. backColour (COLORREF)-1 is transparent. Returns 1. */
VIALTO_API int VIALTO_CALL ImageWriteStringToImg(unsigned char* image, int width, int height, int x,
                                                 int y, const char* text, const LOGFONTA* font,
                                                 COLORREF textColour, COLORREF backColour);
/* Blends a red arrow from the built-in tile picture next to (x, y) (row index in storage order);
 * tile 0 picks a diagonal arrow by where the point lies, 4 the horizontal one. Returns 1. */
VIALTO_API int VIALTO_CALL PasteToImgX(unsigned char* image, int width, int height, int x, int y,
                                       int tile);
/* Fills a pseudo-random plate text ("%05d", 6 bytes), rectangle and confidence (0..100) for an
 * image of width x height. skip != 0 returns at once. Arguments 1, 2 and 4 are unused. Returns 1.
 */
VIALTO_API int VIALTO_CALL RecogniseNumberPlateEx(const void* unused1, int unused2, char* plateText,
                                                  int unused4, int width, int height, int* left,
                                                  int* top, int* rectWidth, int* rectHeight,
                                                  int* confidence, int skip);

#ifdef __cplusplus
} /* extern "C" */

/* Sample class with no data of its own (one byte of storage); assignment copies that byte. */
class VIALTO_API CVialto {
 public:
  CVialto();
  CVialto& operator=(const CVialto& other);
};
#endif

#endif /* VIALTO_VIALTO_H */
