@ECHO OFF
REM Tidies what an older version of the demo asset pack left behind.
IF EXIST Assets\DemoWorks\Old\Obsolete.txt DEL Assets\DemoWorks\Old\Obsolete.txt
MD Assets\DemoWorks\Wagons\Tank\Docs
COPY Assets\DemoWorks\Wagons\Tank\TankWagon.txt Assets\DemoWorks\Wagons\Tank\Docs\ReadMe.txt
