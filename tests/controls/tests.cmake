# Tests of controls/ (kestrel_test).
