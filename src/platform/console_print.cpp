#include <stdarg.h>

#include "platform/console.h"

namespace {

// The text goes out in pieces of this size, so that a text of any length is
// written whole without a buffer of its length.
const DWORD kPieceSize = 512;

struct OutputPiece {
  HANDLE output;
  // After a failed write nothing more of the text is written: a text with a
  // hole in it may say something else.
  bool failed;
  DWORD used;
  char bytes[kPieceSize];
};

// A console or a pipe may take fewer bytes than it was given; what is left
// is written again until a write fails or takes nothing.
bool WriteWhole(HANDLE output, const char* bytes, DWORD length) {
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(output, bytes, length, &written, NULL) || written == 0 ||
        written > length) {
      return false;
    }
    bytes += written;
    length -= written;
  }
  return true;
}

void WritePiece(OutputPiece& piece) {
  if (!piece.failed) {
    piece.failed = !WriteWhole(piece.output, piece.bytes, piece.used);
  }
  piece.used = 0;
}

void PutByte(OutputPiece& piece, char byte) {
  if (piece.used == kPieceSize) WritePiece(piece);
  piece.bytes[piece.used++] = byte;
}

// As text mode writes it: each line feed as CR LF.
void PutText(OutputPiece& piece, const char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == '\n') PutByte(piece, '\r');
    PutByte(piece, *text);
  }
}

}  // namespace

void ConsolePrint(const char* format, ...) {
  OutputPiece piece;
  piece.output = GetStdHandle(STD_OUTPUT_HANDLE);
  piece.failed = false;
  piece.used = 0;
  // Without standard output (a program started with its handles closed)
  // there is nowhere to write to.
  if (piece.output == INVALID_HANDLE_VALUE || piece.output == NULL) return;
  va_list arguments;
  va_start(arguments, format);
  for (const char* at = format; *at != '\0'; ++at) {
    if (at[0] == '%' && at[1] == 's') {
      const char* text = va_arg(arguments, const char*);
      if (text != NULL) PutText(piece, text);
      ++at;
    } else if (at[0] == '%' && at[1] == '%') {
      PutByte(piece, '%');
      ++at;
    } else {
      // Any other conversion is none the texts use: shown as it stands,
      // taking no argument.
      char one[2] = {*at, '\0'};
      PutText(piece, one);
    }
  }
  va_end(arguments);
  WritePiece(piece);
}
