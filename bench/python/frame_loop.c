/* The C side of the Python benchmark: the frame loop of bench_frames (fetch the current frame as
 * RGB24, release it, step to the next) over every frame of a sequence file, on its own.
 *   vialto_frame_loop PATH [PASSES]   prints "FRAMES WALL CPU": the fastest pass in seconds of
 *   wall-clock and of process CPU time (the fairer figure on a shared machine) */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "vialto/vialto.h"

static double Seconds(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s PATH [PASSES]\n", argv[0]);
    return 2;
  }
  const int passes = argc > 2 ? atoi(argv[2]) : 5;
  CSerFileDecode* d = Ser_CreateSerFileDecode();
  if (!d || Ser_SetSerFileName(d, argv[1]) != 1) {
    fprintf(stderr, "%s: cannot open %s\n", argv[0], argv[1]);
    Ser_FinishSerFileDecode(d);
    return 1;
  }
  double best = 1e30, bestCpu = 1e30;
  int frames = 0;
  unsigned sink = 0;
  for (int pass = 0; pass < passes; ++pass) {
    Ser_MoveFirst(d);
    const double start = Seconds(CLOCK_MONOTONIC), startCpu = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    int n = 0;
    do {
      int w, h, aux;
      unsigned char* rgb = Ser_GetCurrentFrameDataBuf(d, &w, &h, &aux, 3);
      if (!rgb) {
        fprintf(stderr, "%s: frame %d not decoded\n", argv[0], n);
        Ser_FinishSerFileDecode(d);
        return 1;
      }
      sink += rgb[(size_t)w * h * 3 / 2];
      Ser_DeleteFrameDataBuf(d, rgb);
      ++n;
    } while (Ser_MoveCurrentFrameNo(d, 1) == 1);
    const double elapsed = Seconds(CLOCK_MONOTONIC) - start;
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - startCpu;
    if (elapsed < best) best = elapsed;
    if (cpu < bestCpu) bestCpu = cpu;
    frames = n;
  }
  Ser_FinishSerFileDecode(d);
  printf("%d %.6f %.6f %u\n", frames, best, bestCpu, sink & 1u);
  return 0;
}
