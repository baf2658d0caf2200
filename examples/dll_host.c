/* A Windows host that links nothing of vialto: it loads vialto.dll by name, resolves every export
 * by name and by ordinal, then opens sequence files and writes each one's first frame.
 *
 *   dll_host OUT_DIR SEQUENCE...
 *
 * OUT_DIR/report.txt gets one line per check and a last line "done"; OUT_DIR/<n>.ppm is the first
 * frame of the n-th sequence (RGB24, as the library returns it). */
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <vialto/vialto.h>

/* Exported names: decorated on 32-bit Windows, plain on 64-bit. */
#if defined(_M_IX86) || defined(__i386__)
#define STD_EXPORT(name, bytes) "_" #name "@" #bytes
#define CTOR_NAME "??0CVialto@@QAE@XZ"
#define ASSIGN_NAME "??4CVialto@@QAEAAV0@ABV0@@Z"
#else
#define STD_EXPORT(name, bytes) #name
#define CTOR_NAME "??0CVialto@@QEAA@XZ"
#define ASSIGN_NAME "??4CVialto@@QEAAAEAV0@AEBV0@@Z"
#endif

static const char* const kExports[52] = {
    CTOR_NAME,
    ASSIGN_NAME,
    "?nVialto@@3HA",
    STD_EXPORT(GrayToRGB, 16),
    STD_EXPORT(ImageFlip, 20),
    STD_EXPORT(ImageJpegToRGB, 24),
    STD_EXPORT(ImageRGBToJpeg, 28),
    STD_EXPORT(ImageResize, 32),
    STD_EXPORT(ImageSwapRGB, 12),
    STD_EXPORT(ImageWriteStringToImg, 36),
    STD_EXPORT(JpegToRGB, 20),
    STD_EXPORT(PasteToImgX, 24),
    STD_EXPORT(RGBToGray, 16),
    STD_EXPORT(RGBToJpeg, 24),
    STD_EXPORT(RGBToYUV422Plane, 16),
    STD_EXPORT(RGBToYUV422Plane_FLOAT, 16),
    STD_EXPORT(RecogniseNumberPlateEx, 48),
    STD_EXPORT(Ser_BufToSerHeadInfo, 8),
    STD_EXPORT(Ser_BufToSerInfo, 8),
    STD_EXPORT(Ser_BufToSubHeadInfo, 8),
    STD_EXPORT(Ser_CopyCurrentFrameData, 24),
    STD_EXPORT(Ser_CopyCurrentFrameDataEx, 28),
    STD_EXPORT(Ser_CopyMemory, 12),
    STD_EXPORT(Ser_CreateSerFileDecode, 0),
    STD_EXPORT(Ser_DeleteFrameDataBuf, 8),
    STD_EXPORT(Ser_DeleteJpegToRGBBuf, 4),
    STD_EXPORT(Ser_DeleteRGBToJpegBuf, 4),
    STD_EXPORT(Ser_FinishSerFileDecode, 4),
    STD_EXPORT(Ser_GetColorStatus, 4),
    STD_EXPORT(Ser_GetCurrentFrameData, 12),
    STD_EXPORT(Ser_GetCurrentFrameDataBuf, 20),
    STD_EXPORT(Ser_GetCurrentFrameDataBufEx, 24),
    STD_EXPORT(Ser_GetCurrentFrameDataLength, 4),
    STD_EXPORT(Ser_GetCurrentFrameNo, 4),
    STD_EXPORT(Ser_GetCurrentFramePos, 4),
    STD_EXPORT(Ser_GetCurrentSubHeadInfo, 8),
    STD_EXPORT(Ser_GetSerFileInfo, 12),
    STD_EXPORT(Ser_GetSerFileType, 4),
    STD_EXPORT(Ser_MoveCurrentFrameNo, 8),
    STD_EXPORT(Ser_MoveEnd, 4),
    STD_EXPORT(Ser_MoveFirst, 4),
    STD_EXPORT(Ser_MoveTo, 8),
    STD_EXPORT(Ser_SaveToLocal, 12),
    STD_EXPORT(Ser_SerHeadInfoToBuf, 12),
    STD_EXPORT(Ser_SerInfoToBuf, 12),
    STD_EXPORT(Ser_SetSerFileFtp, 20),
    STD_EXPORT(Ser_SetSerFileName, 8),
    STD_EXPORT(Ser_SubHeadInfoToBuf, 8),
    STD_EXPORT(Test, 4),
    STD_EXPORT(YUV422PlaneToRGB, 16),
    STD_EXPORT(YUV422PlaneToRGB_FLOAT, 16),
    "fnVialto",
};

/* The lookups' results are kept as void (*)(void), the type that converts to every other. */
typedef void (*AnyProc)(void);
typedef int (*SampleFn)(void);
typedef CSerFileDecode*(VIALTO_CALL* CreateFn)(void);
typedef void(VIALTO_CALL* FinishFn)(CSerFileDecode*);
typedef int(VIALTO_CALL* OpenFn)(CSerFileDecode*, const char*);
typedef int(VIALTO_CALL* DecoderFn)(CSerFileDecode*);
typedef unsigned char*(VIALTO_CALL* FrameBufFn)(CSerFileDecode*, int*, int*, int*, int);
typedef int(VIALTO_CALL* DeleteFrameFn)(CSerFileDecode*, void*);

/* Ordinal n (1-based) is kExports[n - 1]; both lookups must give one address. */
static int ResolveAll(HMODULE dll, AnyProc procs[52], FILE* report) {
  int resolved = 0;
  for (int i = 0; i < 52; ++i) {
    FARPROC byName = GetProcAddress(dll, kExports[i]);
    FARPROC byOrdinal = GetProcAddress(dll, MAKEINTRESOURCEA(i + 1));
    procs[i] = (AnyProc)byName;
    if (byName != NULL && byName == byOrdinal) {
      ++resolved;
    } else {
      fprintf(report, "export %d %s: by name %p, by ordinal %p\n", i + 1, kExports[i],
              (void*)byName, (void*)byOrdinal);
    }
  }
  fprintf(report, "exports resolved %d of 52\n", resolved);
  fprintf(report, "ordinals 26 and 27 %s\n", procs[25] == procs[26] ? "one address" : "differ");
  return resolved == 52;
}

static int WritePpm(const char* path, const unsigned char* rgb, int width, int height) {
  FILE* out = fopen(path, "wb");
  if (out == NULL) return 0;
  fprintf(out, "P6\n%d %d\n255\n", width, height);
  const size_t size = (size_t)width * (size_t)height * 3;
  const int ok = fwrite(rgb, 1, size, out) == size;
  return fclose(out) == 0 && ok;
}

/* Opens one sequence, stands on its first frame and writes it as OUT_DIR/<index>.ppm. */
static int FirstFrame(AnyProc procs[52], const char* outDir, int index, const char* sequence,
                      FILE* report) {
  CSerFileDecode* decoder = ((CreateFn)procs[23])();
  if (decoder == NULL) return 0;
  const int opened = ((OpenFn)procs[46])(decoder, sequence);
  const int type = ((DecoderFn)procs[37])(decoder);
  const int moved = opened == 1 ? ((DecoderFn)procs[40])(decoder) : 0;
  int width = 0, height = 0, aux = 0, written = 0;
  unsigned char* rgb = moved ? ((FrameBufFn)procs[30])(decoder, &width, &height, &aux, 3) : NULL;
  if (rgb != NULL) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%d.ppm", outDir, index);
    written = WritePpm(path, rgb, width, height);
    ((DeleteFrameFn)procs[24])(decoder, rgb);
  }
  fprintf(report, "sequence %d open %d type %d frame %dx%d written %d\n", index, opened, type,
          width, height, written);
  ((FinishFn)procs[27])(decoder);
  return written;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: dll_host OUT_DIR SEQUENCE...\n");
    return 2;
  }
  char reportPath[MAX_PATH];
  snprintf(reportPath, sizeof reportPath, "%s\\report.txt", argv[1]);
  FILE* report = fopen(reportPath, "w");
  if (report == NULL) return 1;

  HMODULE dll = LoadLibraryA("vialto.dll");
  if (dll == NULL) {
    fprintf(report, "LoadLibrary failed: %lu\n", (unsigned long)GetLastError());
    fclose(report);
    return 1;
  }
  AnyProc procs[52];
  int ok = ResolveAll(dll, procs, report);
  if (ok) {
    fprintf(report, "fnVialto %d\n", ((SampleFn)procs[51])());
    fprintf(report, "nVialto %d\n", *(const int*)(void*)procs[2]);
    for (int i = 2; i < argc; ++i) ok &= FirstFrame(procs, argv[1], i - 1, argv[i], report);
  }
  fprintf(report, "done\n");
  fclose(report);
  FreeLibrary(dll);
  return ok ? 0 : 1;
}
