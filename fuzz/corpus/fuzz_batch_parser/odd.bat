copy a+b c
move "unclosed
rd /s /q .\
cd ..\..\..
