/* A minimal host: opens a sequence file and prints what the decoder finds in it. */
#include <stdio.h>
#include <vialto/vialto.h>

int main(int argc, char** argv) {
  printf("vialto says %d\n", fnVialto());
  if (argc < 2) return 0;
  CSerFileDecode* decoder = Ser_CreateSerFileDecode();
  if (!decoder) return 1;
  const int opened = Ser_SetSerFileName(decoder, argv[1]);
  printf("%s: open %d, type %d\n", argv[1], opened, Ser_GetSerFileType(decoder));
  Ser_FinishSerFileDecode(decoder);
  return opened == 1 ? 0 : 1;
}
