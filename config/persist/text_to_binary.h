// The text form of property streams, for hand-made files and for showing streams to users:
//
//   object TMPEGConfig                      (or "object Name: TClass")
//     Text = 'DVD NTSC'                     strings: quoted pieces, '' for a quote, #13 codes
//     Video.Width = 720                     integers (optional sign), floats (20.0, 1e-3)
//     Video.StreamType = MPEGVideoEncoder_StreamType_MPEG2     identifiers, True, False
//     Options = [First, Second]             sets
//     Values = (1 2 'three')                lists
//     WizardAutoChooseList.VideoSize = <    collections
//       item
//         Width = 352
//       end>
//     Video.QuantizeMatrix_Intra = {0810131A...}                binary data in hexadecimal
//     object Child: TClass ... end          child objects
//   end
//
// Long strings may be split into pieces joined by "+" across lines; binary blocks may span lines.
#pragma once

namespace quillset {

class TLargeStream;

// Reads the text form from input (to its end) and writes the binary form to output: a resource
// header named after the root class in upper case, the signature and the object tree. A damaged
// text raises EParserError ("Illegal stream format", with the line and what was wrong).
void ObjectTextToBinary(TLargeStream& input, TLargeStream& output);

// Reads a binary stream (with or without a resource header) from input and writes its text form
// to output, lines ending in "\n". Damaged input raises the reader's errors.
void ObjectBinaryToText(TLargeStream& input, TLargeStream& output);

} // namespace quillset
