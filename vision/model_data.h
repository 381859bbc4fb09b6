// The digit classifier's ONNX file (model/digits.onnx), built into the library.
#pragma once

extern const unsigned char kDigitModel[];
extern const unsigned long kDigitModelSize;
