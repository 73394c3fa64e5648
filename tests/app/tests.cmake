# Tests of app/ (kestrel_test).
