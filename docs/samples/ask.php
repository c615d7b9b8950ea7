<?php
echo "<p>A short questionnaire</p>\n";
echo "What is your name? ";
$name = trim(fgets(STDIN));
echo "<p>Hello, $name!</p>\n";
echo "How old are you? ";
$age = (int) fgets(STDIN);
echo "<p>In ten years you will be ", $age + 10, ".</p>\n";
