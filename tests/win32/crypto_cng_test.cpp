// The known answers again, this time from Windows' CNG.
#include "tests/unit/crypto_known_answer_test.cpp"
