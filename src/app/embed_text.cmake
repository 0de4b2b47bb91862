# Writes the text file IN as a C++ raw string literal into OUT, so that a
# page the program serves is edited as the HTML it is and compiled in.
# cmake -DIN=page.html -DOUT=page.inc -P embed_text.cmake
file(READ "${IN}" text)
string(FIND "${text}" ")ctrlsch_text\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} holds the literal's closing delimiter")
endif()
file(WRITE "${OUT}.tmp" "R\"ctrlsch_text(${text})ctrlsch_text\"\n")
file(RENAME "${OUT}.tmp" "${OUT}")
