#pragma once

// Which wide instructions the encoders use: those the processor has, unless a test limited them
// (LimitWideEncoder) to check the narrower paths.
bool UseAvx2();
bool UseAvx512();     // AVX-512 BW, VBMI and VBMI2 (byte lookup and expansion), BMI2
bool UseClmul();      // carry-less multiplication, for the CRC
bool UseWideClmul();  // the same on 512 bits (VPCLMULQDQ)
