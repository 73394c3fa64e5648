# Tests of db/ (kestrel_test).
