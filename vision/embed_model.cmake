# Writes the digit classifier's ONNX file into a C++ source as an array, so that the
# libraries and programs carry their model and read no file at run time.
# cmake -DMODEL=digits.onnx -DOUTPUT=model_data.cpp -P embed_model.cmake
file(READ ${MODEL} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
    "// Made by embed_model.cmake from ${MODEL_NAME}; not edited by hand.\n"
    "#include \"model_data.h\"\n\n"
    "const unsigned char kDigitModel[] = {\n${bytes}\n};\n"
    "const unsigned long kDigitModelSize = ${size};\n")
