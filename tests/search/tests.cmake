# Tests of search/ (kestrel_test).
