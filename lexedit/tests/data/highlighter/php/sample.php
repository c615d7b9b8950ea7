// Syntax highlighting
function printNumber()
{
  $number = 1234;
  print "The number is $number";
  for ($i = 0; $i <= $number; $i++)
  {
    $x++;
    $x--;
    $x += 1.0;
  }
}